#include "ctl/help.h"

namespace orvelle::ctl {
namespace {

constexpr const char* kOverview = R"(usage: orvellectl [--device PATH] [--json] COMMAND ...

Reads and sets up an infrared touch frame controller from the command line,
with the same rules as the console's pages.

Commands:
  list                       the controllers found, real ones first
  info                       model, identity texts, info value, counts and lists
  config show|set|reset      the configuration settings
  config save|load FILE      all settings in a JSON file
  calibration show|set       the calibration mode and option
  calibration export|import FILE, calibration reset
                             the calibration record
  monitor                    every frame the controller sends, until Ctrl-C
  doctor                     why a frame cannot be opened, and what to do
  help [COMMAND]             this text, or a command's

Options:
  --device PATH   the controller to use (a path from `orvellectl list`);
                  without it the first one listed is used
  --json          one JSON document on standard output (reading commands)
  --help, -h      help; with a command, that command's

Simulated controllers (orvelle-sim) are found in $ORVELLE_SIM_DIR, else
$XDG_RUNTIME_DIR/orvelle-sim, else /tmp/orvelle-sim-<uid>.

Exit status:
  0  done
  1  the controller refused or failed, or a file could not be read or written
  2  usage: an unknown command or option, or a value no setting accepts
  3  no controller found, or none at --device
  4  the controller did not answer in time
Errors go to standard error, one line each.
)";

constexpr const char* kList = R"(usage: orvellectl [--json] list

Every accepted controller: its device path, vendor and product id (hex), a
name and how many HID collections it has. Real controllers come first; the
first one listed is the one the other commands use without --device.
Exits 3 when there is none.
)";

constexpr const char* kInfo = R"(usage: orvellectl [--device PATH] [--json] info

What the console's information page shows: model, identity texts 2 to 4,
info value, counts A and B and lists A and B. Texts are the controller's
bytes read as Latin-1; without an answer that counts, every value is the
page's default ("N/A", 0).
)";

constexpr const char* kConfig = R"(usage: orvellectl [--device PATH] [--json] config show
       orvellectl [--device PATH] config set KEY=VALUE ...
       orvellectl [--device PATH] config reset
       orvellectl [--device PATH] config save FILE
       orvellectl [--device PATH] config load FILE

show   prints every setting as KEY=VALUE (with --json, the document that save
       writes).
set    reads the current settings, changes the named ones and writes every
       group back, as the page's Apply does. A value the page could not hold
       is refused (exit 2) before anything is sent.
reset  has the controller restore its own default settings.
save   writes all settings to FILE as JSON; the file is replaced atomically.
load   checks the whole FILE (every setting present and valid) before it
       sends anything, then writes every group.

Settings:
  cfg12.a, cfg12.b, cfg12.c      on or off
  cfg16.on                       on or off
  cfg16.value                    0 to 20
  cfg17.a, cfg17.b               1 to 5
  cfg17.c, cfg17.d               1 to 10
  cfg21.on                       on or off
  cfg21.period-a                 one of 3, 5, 10, 20, 30, 45, 60, 90, 120, 180
  cfg21.period-b                 one of 100, 200, 300, 500, 750, 1000, 1500, 2000
  cfg15.on                       on or off
  cfg15.level                    1 to 10
  cfg15.value                    500 to 5000 in steps of 500
  cfg14.on                       on or off
  cfg14.level                    1 to 10
  cfg14.value                    100 to 1000 in steps of 100
  touch.setting                  1 or 2; used on Windows 7 only

The file: {"format": "orvelle-config", "version": 1, "settings": {KEY: VALUE}},
switches as "on"/"off", numbers as numbers.
)";

constexpr const char* kCalibration = R"(usage: orvellectl [--device PATH] [--json] calibration show
       orvellectl [--device PATH] calibration set [mode=N] [option=N]
       orvellectl [--device PATH] calibration export FILE
       orvellectl [--device PATH] calibration import FILE
       orvellectl [--device PATH] calibration reset

show    the calibration mode (2: four targets, 3: five, 4: nine) and the
        option (0 to 3; 4 means none).
set     writes the option and the mode, as the page's Apply does; a value
        left out keeps the controller's.
export  saves the controller's calibration record in the calibration data
        file format (137 bytes), replacing FILE atomically; only modes 3 and
        4 keep a record.
import  sends the record of FILE; a damaged file is refused and nothing is
        sent.
reset   has the controller restore its factory calibration.
)";

constexpr const char* kMonitor = R"(usage: orvellectl [--device PATH] monitor

One line per frame the controller sends, as orvelle-sim --log shows it:
"out", the bytes up to the frame's end, the command's name; for the raw
touch positions of a running calibration also x, y and whether the finger
touches. Runs until Ctrl-C (exit 0) or until the controller goes (exit 1).
Requests that other programs send are not seen: the controller does not
echo them.
)";

}  // namespace

constexpr const char* kDoctor = R"(usage: orvellectl [--json] doctor

For each frame the kernel sees (every hidraw node of an accepted controller,
whether it opens or not): the device rule udev uses and the group it grants,
the node's owner, group and mode, the kernel driver bound to it, whether this
user can open it and why not, and the one thing to do next. Also says whether
a simulated controller is running. Exits 0 when every frame opens, 1 when
one does not, 3 when the kernel shows none.
)";

std::string HelpText(const std::string& topic) {
  if (topic == "list") return kList;
  if (topic == "info") return kInfo;
  if (topic == "config") return kConfig;
  if (topic == "calibration") return kCalibration;
  if (topic == "monitor") return kMonitor;
  if (topic == "doctor") return kDoctor;
  return kOverview;
}

}  // namespace orvelle::ctl
