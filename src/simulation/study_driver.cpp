// The simulation study from its dialogue to its final report.
#include <omp.h>

#include "shell/cformat.h"
#include "shell/progress.h"
#include "simulation/metacommunity.h"
#include "simulation/study.h"
#include "simulation/study_counting.h"
#include "simulation/study_tables.h"

namespace kalios {

void IFAssemblyRulesSimulation_EnvFeedback_TypeI_II_Error(StudyEnvironment& env) {
  StudyState st;
  StudyDesign& d = st.design;
  AskStudyDesign(env.con, d);

  RandomGenerator rng;
  InitRndNumberGenerator(rng, d.seed);
  PrepareStudy(st);
  st.run.nDigits = env.prefs.sDigits;
  CreateStudyFiles(env, st);
  SizeCounts(st.counts, d.K, d.P);
  st.startClock = omp_get_wtime();

  MetacommunityOptions runOptions;
  runOptions.progress = ProgressReporter(env.con);
  for (int dataSet = 1; dataSet <= d.D; ++dataSet) {
    GenerateDataSet(st, rng, dataSet);
    MetacommunitySimulation(&st.run, rng, runOptions);
    ClearLine(env.con);
    WriteSimulatedData(env, st, dataSet);
    AnalyseDataSet(env, st, rng, dataSet);
  }
  if (d.powerMode && !st.everyCombination) WriteFinalReport(env, st, omp_get_wtime() - st.startClock);
  CheckWritten(*st.final);
  if (!st.everyCombination && !st.testRows.empty()) WriteStudyTables(env, st);
  Print(env.con.out, "\n\nResults on file %s\n", "FinalSimulatedData.txt");
}

}  // namespace kalios
