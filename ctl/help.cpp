#include "ctl/help.h"

#include <algorithm>
#include <sstream>

#include "ctl/command_groups.h"
#include "ctl/config_keys.h"

// The simulator is Linux's; Windows finds controllers through its own HID
// class only.
#ifdef __linux__
#define ORVELLE_CTL_SIMULATOR_NOTE                                            \
  "Simulated controllers (orvelle-sim) are found in $ORVELLE_SIM_DIR, else\n" \
  "$XDG_RUNTIME_DIR/orvelle-sim, else /tmp/orvelle-sim-<uid>.\n\n"
#else
#define ORVELLE_CTL_SIMULATOR_NOTE ""
#endif

namespace orvelle::ctl {
namespace {

constexpr const char* kIntroduction = R"(usage: orvellectl [--device PATH] [--json] COMMAND ...
       orvellectl --version

Reads and sets up an infrared touch frame controller from the command line,
with the same rules as the console's pages.

)";

constexpr const char* kPacing =
    R"(Errors go to standard error, one line each. Every request is followed by the
pause the console's pages take (20 ms after a read, 30 ms after a write,
100 ms after a reset), which a controller needs to store what it was sent.
)";

const ReferenceEntry kOptions[] = {
    {"--device PATH",
     "the controller to use (a path from `orvellectl list`); needed when several are plugged in: "
     "nothing is sent to any of them without it; an empty PATH is refused"},
    {"--json", "one JSON document on standard output (reading commands)"},
    {"--help, -h", "help; with a command, that command's"},
    {"--version", "the version of orvellectl"},
};

const ReferenceEntry kStopSignals = {
    "130, 143",
    "ended by SIGINT (Ctrl-C) or SIGTERM, after the exchange under way; a save or export then "
    "writes nothing"};

// What the usage lines of a command group leave to be said.
struct GroupHelp {
  const char* group;
  const char* text;
};

const GroupHelp kGroupHelp[] = {
    {"list", R"(Every accepted controller: its device path, vendor and product id (hex), a
name and how many HID collections it has, in the order in which the console
ranks them (real ones first, then by the USB port). With more than one, the
other commands need --device with one of these paths, and the one that the
console shows is marked "shown by the console" (--json: "shownByConsole"
of each): the one chosen there last when it is plugged in, else the first.
Exits 3 when there is none.
)"},
    {"info", R"(What the console's information page shows: model, identity texts 2 to 4,
info value, counts A and B and lists A and B. Texts are the controller's
bytes read as Latin-1. When no answer could be read (neither the layout nor
a transfer description came), nothing is printed and the exit status is 4.
)"},
    {"config", R"(show   prints every setting as KEY=VALUE (with --json, the document that save
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

The file: {"format": "orvelle-config", "version": 1, "settings": {KEY: VALUE}},
switches as "on"/"off", numbers as numbers.
)"},
    {"calibration", R"(show    the calibration mode (2: four targets, 3: five, 4: nine) and the
        option (0 to 3; 4 means none).
set     writes the option and the mode, as the page's Apply does; a value
        left out keeps the controller's.
start   starts Tessaly on the primary screen, or on screen NAME (a name or
        a number from 0), from this program's folder or the installed
        programs folder, never from the current folder or PATH. Tessaly
        calibrates the controller at --device, or the only one plugged in.
export  saves the controller's calibration record in the calibration data
        file format (137 bytes), replacing FILE atomically; only modes 3 and
        4 keep a record.
import  sends the record of FILE (a regular file); a damaged file is
        refused (exit 2) and nothing is sent.
reset   has the controller restore its factory calibration.
)"},
    {"monitor", R"(One line per frame the controller sends, as orvelle-sim --log shows it:
"out", the bytes up to the frame's end, the command's name; for the raw
touch positions of a running calibration also x, y and whether the finger
touches. Runs until Ctrl-C (exit 130) or SIGTERM (143), until the
controller goes (exit 1), or until a line cannot be written (exit 5).
Requests that other programs send are not seen: the controller does not
echo them.
)"},
    {"doctor", R"(For each frame the kernel sees (every hidraw node of an accepted controller,
whether it opens or not): the device rule udev uses and the group it grants,
the node's owner, group and mode, the kernel driver bound to it, whether this
user can open it and why not, and the one thing to do next. Also says whether
a simulated controller is running. Exits 0 when every frame opens, 1 when
one does not, 3 when the kernel shows none.
)"},
};

// Terms in a column of their own, meanings beside them and wrapped; a term
// too long for the column has its meaning on the next line.
std::string Columns(const std::vector<ReferenceEntry>& entries) {
  constexpr size_t kIndent = 2, kLongestBeside = 27, kWidth = 79;
  size_t column = 0;
  for (const ReferenceEntry& e : entries) {
    if (e.term.size() <= kLongestBeside) column = std::max(column, e.term.size());
  }
  column += kIndent + 2;
  std::string text;
  for (const ReferenceEntry& e : entries) {
    std::string line = std::string(kIndent, ' ') + e.term;
    if (e.term.size() > kLongestBeside) {
      text += line + "\n";
      line.clear();
    }
    std::istringstream words(e.meaning);
    std::string word;
    bool first = true;
    while (words >> word) {
      if (!first && line.size() + 1 + word.size() > kWidth) {
        text += line + "\n";
        line.clear();
      }
      if (line.size() < column) {
        line.resize(column, ' ');
      } else {
        line += ' ';
      }
      line += word;
      first = false;
    }
    text += line + "\n";
  }
  return text;
}

std::string Overview() {
  return kIntroduction + ("Commands:\n" + Columns(CommandEntries())) + "\nOptions:\n" +
         Columns(OptionEntries()) + "\n" + ORVELLE_CTL_SIMULATOR_NOTE + "Exit status:\n" +
         Columns(ExitStatusEntries()) + kPacing;
}

}  // namespace

std::string HelpText(const std::string& topic) {
  const auto help = std::find_if(std::begin(kGroupHelp), std::end(kGroupHelp),
                                 [&](const GroupHelp& h) { return topic == h.group; });
  std::string usage;
  for (const Command& command : Commands()) {
    if (command.group == topic)
      usage += (usage.empty() ? "usage: " : "       ") + Synopsis(command) + "\n";
  }
  if (help == std::end(kGroupHelp) || usage.empty()) return Overview();
  std::string text = usage + "\n" + help->text;
  if (topic == "config") text += "\nSettings:\n" + Columns(SettingEntries());
  return text;
}

int RunHelp(Invocation& run) {
  const std::vector<std::string>& w = run.Words();
  run.Out() << HelpText(w.size() > 1 ? w[1] : "");
  return kExitDone;
}

std::vector<ReferenceEntry> CommandEntries() {
  std::vector<ReferenceEntry> entries;
  for (const Command& command : Commands())
    entries.push_back({CommandLine(command), command.summary});
  return entries;
}

std::vector<ReferenceEntry> OptionEntries() {
  return {std::begin(kOptions), std::end(kOptions)};
}

std::vector<ReferenceEntry> SettingEntries() {
  std::vector<ReferenceEntry> entries;
  const ConfigKey* previous = nullptr;
  for (const ConfigKey& key : ConfigKeys()) {
    // Only Windows 7's page reads and writes the touch settings.
    const std::string meaning =
        Accepted(key) + (key.group == TOUCH_SETTINGS ? "; used on Windows 7 only" : "");
    if (previous && previous->group == key.group && entries.back().meaning == meaning) {
      entries.back().term += std::string(", ") + key.name;
    } else {
      entries.push_back({key.name, meaning});
    }
    previous = &key;
  }
  return entries;
}

std::vector<ReferenceEntry> ExitStatusEntries() {
  std::vector<ReferenceEntry> entries = {
#define ORVELLE_CTL_EXIT_ENTRY(name, number, meaning) {#number, meaning},
      ORVELLE_CTL_EXIT_STATUSES(ORVELLE_CTL_EXIT_ENTRY)
#undef ORVELLE_CTL_EXIT_ENTRY
  };
  entries.push_back(kStopSignals);
  return entries;
}

}  // namespace orvelle::ctl
