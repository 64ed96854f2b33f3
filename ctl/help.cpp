#include "ctl/help.h"

// The doctor and the simulator are Linux's; Windows finds controllers through
// its own HID class only.
#ifdef __linux__
#define ORVELLE_CTL_DOCTOR_LINE \
  "  doctor                     why a frame cannot be opened, and what to do\n"
#define ORVELLE_CTL_SIMULATOR_NOTE                                            \
  "Simulated controllers (orvelle-sim) are found in $ORVELLE_SIM_DIR, else\n" \
  "$XDG_RUNTIME_DIR/orvelle-sim, else /tmp/orvelle-sim-<uid>.\n\n"
#else
#define ORVELLE_CTL_DOCTOR_LINE ""
#define ORVELLE_CTL_SIMULATOR_NOTE ""
#endif

namespace orvelle::ctl {
namespace {

constexpr const char* kOverview = R"(usage: orvellectl [--device PATH] [--json] COMMAND ...
       orvellectl --version

Reads and sets up an infrared touch frame controller from the command line,
with the same rules as the console's pages.

Commands:
  list                       the controllers found, real ones first
  info                       model, identity texts, info value, counts and lists
  config show|set|reset      the configuration settings
  config save|load FILE      all settings in a JSON file
  calibration show|set       the calibration mode and option
  calibration start [--screen NAME]
                             starts Tessaly, the calibration program
  calibration export|import FILE, calibration reset
                             the calibration record
  monitor                    every frame the controller sends, until Ctrl-C
)" ORVELLE_CTL_DOCTOR_LINE R"(  help [COMMAND]             this text, or a command's

Options:
  --device PATH   the controller to use (a path from `orvellectl list`);
                  needed when several are plugged in: nothing is sent
                  to any of them without it
  --json          one JSON document on standard output (reading commands)
  --help, -h      help; with a command, that command's
  --version       the version of orvellectl

)" ORVELLE_CTL_SIMULATOR_NOTE R"(Exit status:
  0    done
  1    the controller refused a request, a request could not be sent (the
       controller went away), or a file could not be opened or written
  2    usage: an unknown command or option, an empty --device, several
       controllers and no --device, a value no setting accepts, or an input
       file that is not a regular file or whose content is wrong
  3    no controller found, or none at --device
  4    the controller did not answer in time, or its answers could not be read
  5    standard output could not be written (closed, a full disk)
  130  ended by SIGINT (Ctrl-C), 143 by SIGTERM: after the exchange under
       way; a save or export then writes nothing
Errors go to standard error, one line each. Every request is followed by the
pause the console's pages take (20 ms after a read, 30 ms after a write,
100 ms after a reset), which a controller needs to store what it was sent.
)";

constexpr const char* kList = R"(usage: orvellectl [--json] list

Every accepted controller: its device path, vendor and product id (hex), a
name and how many HID collections it has, in the order in which the console
ranks them (real ones first, then by the USB port). With more than one, the
other commands need --device with one of these paths. Exits 3 when there is
none.
)";

constexpr const char* kInfo = R"(usage: orvellectl [--device PATH] [--json] info

What the console's information page shows: model, identity texts 2 to 4,
info value, counts A and B and lists A and B. Texts are the controller's
bytes read as Latin-1. When no answer could be read (neither the layout nor
a transfer description came), nothing is printed and the exit status is 4.
)";

constexpr const char* kConfig = R"(usage: orvellectl [--device PATH] [--json] config show
       orvellectl [--device PATH] config set KEY=VALUE ...
       orvellectl [--device PATH] config reset
       orvellectl [--device PATH] config save FILE
       orvellectl [--device PATH] config load FILE

show   prints every setting as KEY=VALUE (with --json, the document that save
       writes).
set    reads the current settings, checks every KEY=VALUE and writes the
       groups of the named settings only, as the page's Apply writes a
       group. A value the page could not hold is refused (exit 2) before
       anything is sent.
reset  has the controller restore its own default settings.
save   writes all settings to FILE as JSON; the file is replaced atomically.
load   checks the whole FILE (a regular file; every member of its type,
       every setting present and valid) before it sends anything, then
       writes the groups in which FILE differs from the controller. Any
       fault of FILE exits 2 naming the member and why.

Values beyond the page's ranges: a controller may hold a value that the
page's controls do not offer (cfg16.value above 20, say). show and save
print it as it is, and load takes it back: a file that save wrote always
loads again, unchanged. Such a value is never sent as a new one: set and
load refuse a value outside the ranges below wherever it would change what
the controller holds, and write a group holding such a value only when
another setting of that group is given.

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
       orvellectl [--device PATH] calibration start [--screen NAME]
       orvellectl [--device PATH] calibration export FILE
       orvellectl [--device PATH] calibration import FILE
       orvellectl [--device PATH] calibration reset

show    the calibration mode (2: four targets, 3: five, 4: nine) and the
        option (0 to 3; 4 means none).
set     writes the option and the mode, as the page's Apply does; a value
        left out keeps the controller's.
start   starts Tessaly on the primary screen, or on screen NAME (a name or
        a number from 0), from this program's folder or the installed
        programs folder, never from the current folder or PATH. Tessaly
        calibrates the controller the console would open.
export  saves the controller's calibration record in the calibration data
        file format (137 bytes), replacing FILE atomically; only modes 3 and
        4 keep a record.
import  sends the record of FILE (a regular file); a damaged file is
        refused (exit 2) and nothing is sent.
reset   has the controller restore its factory calibration.
)";

constexpr const char* kMonitor = R"(usage: orvellectl [--device PATH] monitor

One line per frame the controller sends, as orvelle-sim --log shows it:
"out", the bytes up to the frame's end, the command's name; for the raw
touch positions of a running calibration also x, y and whether the finger
touches. Runs until Ctrl-C (exit 130) or SIGTERM (143), or until the
controller goes (exit 1).
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
