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
  // 7 to 9 are not listed but remain valid codes of the resemblance library.
  option = static_cast<int>(ReadNumberIn(con, "6 7 8 9 10"));
}

}  // namespace kalios
