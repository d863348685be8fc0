#pragma once
// Options of the analyses that the session's track file records. Every option
// is zero when the program starts and keeps its value between the analyses of
// a session until a settings dialogue sets it again.
namespace kalios {

struct AnalysisOptions {
  int isHierarchical = 0;
  int traitBasedOpt = 0;
  int optEnvStruct = 0;
  int rese_opt = 0;      // resemblance between communities
  int reseCstOpt = 0;
  int partOpt = 0;       // data partition: 0 none, 1 quantitative, 2 qualitative component
  int fuzzy = 0;         // 0 crisp, 3 fuzzy belonging of OTUs to types
  double fuzziness = 0;
  int reseTypeOrd = 0;
  int reseTypeClus = 0;
  int reseTypeEv = 0;
  int reseTypeRnd = 0;
  int reseTypeERank = 0;
  int cohe = 0;
  int groupDissMeth = 0;
  int empir_opt = 0;
  int keepRichness = 0;
  int whichPartAOC = 0;
  int whichPartCstAOC = 0;
  int doDistrib = 0;
  int adjacentRelOpt = 0;
  int whichLevelCst = 0;
  int poolCSTopt = 0;        // 1 monothetic, 2 polythetic pooling of OTUs
  int clusMethPoolCSTs = 0;  // clustering method for types of OTUs; 0 none
};

}  // namespace kalios
