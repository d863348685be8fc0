#include "functional/settings_rese.h"

#include "shell/cformat.h"
#include "shell/input.h"

namespace kalios {

void SettingsRese(App& app) {
  Print(app.con.out, "\nSpecify resemblance function between communities:");
  SettingReseFunction(app.con, app.opts.rese_opt);
}

void SettingReseFunction(Console& con, int& option) {
  Print(con.out, "\nResemblance function option:\n");
  Print(con.out, "\t6   Euclidean distance\n");
  Print(con.out, "\t10  chord distance\n");
  Print(con.out, "Type option no.: ");
  // Only the listed functions: the other codes of the resemblance library
  // give no distance between rows of X, and every statistic would come out 0.
  option = static_cast<int>(ReadNumberIn(con, "6 10"));
}

}  // namespace kalios
