#pragma once
// Setting a partition of the communities or of the OTUs into groups: from the
// keyboard or a file (by group labels or by counts of objects per group), or
// from a cluster analysis record; and choosing the hierarchical level.
#include <string>
#include <vector>

#include "session/menu_header.h"
#include "session/track.h"
#include "shell/console.h"

namespace kalios {

// Sets the number of groups, their labels (up to 4 characters) and the group
// (1-based) of each of the n objects. `what` names the objects in prompts;
// "communities" selects community mode, where the community labels are shown.
// `labels` is grown to hold the groups' labels when it is shorter. The kind
// of objects is recorded in `opts.whichObj`; a cluster analysis record named
// by the track (files under `volumeName`) is offered when there is one.
void SettingAnyGroups(Console& con, const MenuHeader& menu, const DataSet& ds,
                      const SessionTrack& track, AnalysisOptions& opts,
                      const std::string& volumeName, int n, int& nGroups, int* groupOf,
                      std::vector<std::string>& labels, const std::string& what);

// The partition into k groups read from the cluster analysis record of the
// communities (objectKind 'r') or of the OTUs ('c'). A record file that cannot
// be opened aborts with code 4; a damaged one (member counts or numbers that do
// not fit the n objects, or too few fusions to reach k groups) with code 2.
void GetPartition(Console& con, const SessionTrack& track, const std::string& volumeName, int n,
                  int k, int* groupOf, int objectKind);
// The same from a record file given by name.
void GetPartition(Console& con, const std::string& recordFile, int n, int k, int* groupOf);

// The hierarchical level in use: 1, unless the analysis is hierarchical with
// monothetic pooling of OTUs and at least 2 traits, when it is asked.
int SettingWhichLevel(Console& con, int nch, const AnalysisOptions& opts, int& level);

}  // namespace kalios
