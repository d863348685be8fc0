#pragma once
// Data for a new session: the "DATA FOR SESSION" dialogue and the formatting
// of raw data files (traits B, phylogeny F, communities W, species names,
// ecosystem variables E) into the session's formatted data file.
namespace kalios {

struct App;

// The "DATA FOR SESSION" dialogue. Returns 0 when the session has data (its
// track file has been written), 1 when the user went back to the main menu.
int SetFormda(App& app);

// Asks which raw files exist, reads them as the user describes them, checks
// them and writes the formatted data file named by the session's track state.
// Nothing of it stays in memory afterwards.
void IFFormat(App& app);

// For each trait, the number of distinct values that are not missing (-999).
void CountStates(int nch, int tcst, int* onsta, const double* const* B);

}  // namespace kalios
