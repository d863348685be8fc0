#include "ranking/settings_chrank.h"

#include <algorithm>

#include "measures/types.h"
#include "numlib/groups.h"
#include "shell/cformat.h"
#include "shell/input.h"

namespace kalios {
namespace {

bool IsOneOf(int code, std::initializer_list<int> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool HasNominalTrait(const DataSet& d) {
  return d.nch > 0 && static_cast<int>(d.chtype.size()) >= d.nch && HasQualitTrait(d.nch, d.chtype.data());
}

void PrintCriteriaMenu(Console& con, const DataSet& d) {
  const bool hasE = d.nenv > 0;
  const bool nominal = HasNominalTrait(d);
  Print(con.out, "Trait ranking criterion maximized: \n");
  if (hasE) {
    Print(con.out, "   1 r(XE): TCAP and TDAP\n");
    if (!nominal) {
      Print(con.out, "   9 r(XE.T): TDAP only\n");
      Print(con.out, "   10 r(TE): TCAP only\n");
    }
  }
  if (d.hasPhylogeny) {
    Print(con.out,
          "   11  correlation of phylogenetically structured assembly patterns (PSAP) to both TCAP and TDAP = "
          "r(PX)\n");
    if (!nominal) {
      Print(con.out, "   12  correlation of PSAP to TDAP = r(PX.T)\n");
      Print(con.out, "   13  correlation of PSAP to TCAP = r(PT)\n");
    }
  }
  if (hasE) Print(con.out, "   16  alpha divergence: r(RE) \n");
  Print(con.out, "   21  r(XY)\n");
  if (!nominal) {
    Print(con.out, "   22  r(TY)\n");
    Print(con.out, "   23  r(XY.T)\n");
  }
  Print(con.out, "\n");

  if (hasE) {
    Print(con.out,
          "1. Correlation r(XE) between fuzzy weighted community composition based on OTU's trait similarities "
          "(X) and ecological variables (E) may reflect both trait convergence assembly patterns (TCAP) and "
          "trait divergence assembly patterns (TDAP).\n");
    if (!nominal) {
      Print(con.out, "9. Partial correlation r(XE.T) between X and E, removing T, reflects TDAP only.\n");
      Print(con.out,
            "10. Correlation r(TE) between community weighted mean traits (T) and E reflects TCAP only.\n");
    }
  }
  if (d.hasPhylogeny) {
    Print(con.out,
          "11. Correlation r(PX) between P (fuzzy weighted community composition based on OTU's phylogenetic "
          "similarities) and X reflects phylogenetic signal at the metacommunity level.\n");
    if (!nominal) {
      Print(con.out,
            "12. Partial correlation r(PX.T) between P and X, removing T reflects phylogenetic signal at the "
            "metacommunity level.\n");
      Print(con.out, "13. Correlation r(PT) reflects phylogenetic signal at the metacommunity level.\n");
    }
  }
  if (hasE) Print(con.out, "16. ro(RE) is a congruence between Rao entropy and E.\n");
  Print(con.out,
        "21. r(XY): correlation of fuzzy-weighted composition (X) and community composition predicted by Beals "
        "smoothing according to DeCaceres&Legendre (Y)\n");
  if (!nominal) {
    Print(con.out,
          "22. r(TY): correlation of community-weighted means (T) and community composition predicted by "
          "Beals smoothing according to DeCaceres&Legendre (Y)\n");
    Print(con.out, "23. r(XY.T): Partial correlation between X and Y, removing T, reflects TDAP only.\n");
  }
}

int AskBounded(Console& con, const char* prompt, int low, int high) {
  Print(con.out, prompt, low, high);
  return static_cast<int>(ReadNumberIn(con, "-", low, high));
}

}  // namespace

const char* RankingCriterionRefusal(int code, const DataSet& d) {
  if (d.nenv <= 0 && IsOneOf(code, {1, 9, 10, 14, 15, 16, 17, 24})) return "matrix E";
  if (!d.hasPhylogeny && IsOneOf(code, {11, 12, 13, 14, 15})) return "a phylogeny";
  // Community weighted means of nominal codes mean nothing, and the dark
  // diversity is not defined for them either.
  if (HasNominalTrait(d) && IsOneOf(code, {9, 10, 12, 13, 17, 22, 23, 24})) return "no nominal trait";
  return nullptr;
}

void SettingsChRank(Console& con, DataSet& d, AnalysisOptions& o, RankingOptions& r,
                    const RankingDialogueHooks& hooks) {
  for (;;) {
    hooks.menu("CHARACTER RANKING SETTINGS");
    PrintCriteriaMenu(con, d);
    Print(con.out, "\nType option no.: ");
    const int code = static_cast<int>(ReadNumberIn(con, "1 9 10 11 12 13 14 15 16 17 21 22 23 24"));
    if (RankingCriterionRefusal(code, d)) continue;
    o.opt_struct = code;
    break;
  }
  const int code = o.opt_struct;
  r.rankingAlgorithm = 2;
  d.includePhylogeny = code >= 11 && code <= 15;

  hooks.functionalSettings();

  if (code == 10 || code == 16) o.rese_opt = 6;
  if (o.traitBasedOpt != 1) {
    o.whichObj = 'r';
    o.rese_opt = 6;
  }
  r.optUnitTotalAdjust1 = true;

  if (o.clusMethPoolCSTs == 0) {
    int groups = 0;
    CountGroupsNew(d.tcst, d.partition_OTUs.data(), groups, nullptr);
    r.nMinCSTGroupsChRank = r.nMaxCSTGroupsChRank = groups;
  } else if (o.poolCSTopt == 2) {
    r.nMinCSTGroupsChRank =
        AskBounded(con, "Minimum number of PFTs examined (minimum: %d, maximum: %d): ", 2, d.tcst);
    r.nMaxCSTGroupsChRank = AskBounded(con, "Maximum number of PFTs examined (minimum: %d, maximum: %d): ",
                                       r.nMinCSTGroupsChRank, d.tcst);
  } else {
    r.nMaxCSTGroupsChRank = d.tcst;
  }

  int m = 0;
  for (int k = 0; k < d.nch && k < static_cast<int>(d.weight.size()); ++k)
    if (d.weight[static_cast<std::size_t>(k)] > 0) ++m;
  r.nMinTraitsChRank = AskBounded(con, "Minimum number of traits in the trait subset (minimum: %d, maximum: %d): ", 1, m);
  r.nMaxTraitsChRank = AskBounded(con, "Maximum number of traits in the trait subset (minimum: %d, maximum: %d): ",
                                  r.nMinTraitsChRank, m);

  Print(con.out, "\nPrint intermediate results of the ranking process?  y/n ");
  r.printRankIntermedResults = static_cast<char>(ReadCharIn(con, "y n"));
}

}  // namespace kalios
