// Writes orvellectl's manual page source (for txt2man) and its bash
// completion from the tool's own tables: commands, options, settings and exit
// statuses, so that the documents and the tool cannot drift apart.
//
//   orvelle-write-ctl-reference <template> <output file>
//
// A template line that is one @NAME@ becomes that list; any other line is
// copied as it is.

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/command_groups.h"
#include "ctl/config_keys.h"
#include "ctl/help.h"

namespace {

using namespace orvelle::ctl;

// txt2man's tagged paragraphs: the term, two spaces, its meaning.
std::string Tagged(const std::vector<ReferenceEntry>& entries) {
  std::string text;
  for (const ReferenceEntry& e : entries)
    text += "  " + e.term + "  " + e.meaning + "\n";
  return text;
}

std::vector<std::string> Groups() {
  std::vector<std::string> groups;
  for (const Command& command : Commands()) {
    if (groups.empty() || groups.back() != command.group) groups.push_back(command.group);
  }
  return groups;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words)
    text += (text.empty() ? "" : " ") + word;
  return text;
}

// What may follow a command's words, read from its usage: its options, the
// first part of each NAME=VALUE, the setting keys, the command names, or
// FILE for a file name.
std::string FollowingWords(const Command& command) {
  std::istringstream usage(ArgumentsText(command.arguments));
  std::vector<std::string> words;
  std::string token;
  while (usage >> token) {
    if (token == "FILE") return "FILE";
    if (token == "[COMMAND]") {
      for (const std::string& group : Groups()) {
        if (group != command.group) words.push_back(group);
      }
    } else if (token == "KEY=VALUE") {
      for (const ConfigKey& key : ConfigKeys())
        words.push_back(std::string(key.name) + "=");
    } else if (const size_t equals = token.find('='); equals != std::string::npos) {
      const size_t start = token.find_first_not_of('[');
      words.push_back(token.substr(start, equals + 1 - start));
    } else if (token.rfind("[--", 0) == 0 || token.rfind("--", 0) == 0) {
      words.push_back(token.substr(token.find('-')));
    }
  }
  return Joined(words);
}

// Shell assignments: the commands, the options, and what follows each
// group and each command.
std::string CompletionWords() {
  std::vector<std::string> options;
  for (const ReferenceEntry& option : OptionEntries())
    options.push_back(option.term.substr(0, option.term.find_first_of(" ,")));
  std::string text = "_orvellectl_commands='" + Joined(Groups()) + "'\n" + "_orvellectl_options='" +
                     Joined(options) + "'\n";
  std::map<std::string, std::vector<std::string>> actions;
  for (const Command& command : Commands()) {
    std::string name = std::string("_orvellectl_after_") + command.group;
    if (*command.action != '\0') {
      actions[name].push_back(command.action);
      name += std::string("_") + command.action;
    }
    const std::string following = FollowingWords(command);
    if (!following.empty()) text += name + "='" + following + "'\n";
  }
  for (const auto& [name, words] : actions)
    text += name + "='" + Joined(words) + "'\n";
  return text;
}

// The template with its lists filled in; false, and `error` says why, when
// it cannot be read or names a list there is none of.
bool FillTemplate(const char* path, std::string& text, std::string& error) {
  const std::map<std::string, std::string> lists = {
      {"@COMMANDS@", Tagged(CommandEntries())}, {"@OPTIONS@", Tagged(OptionEntries())},
      {"@SETTINGS@", Tagged(SettingEntries())}, {"@EXIT_STATUS@", Tagged(ExitStatusEntries())},
      {"@WORDS@", CompletionWords()},
  };
  std::ifstream in(path);
  if (!in) error = "cannot be read";
  std::string line;
  while (in && std::getline(in, line)) {
    if (line.size() < 2 || line.front() != '@' || line.back() != '@') {
      text += line + "\n";
    } else if (const auto list = lists.find(line); list != lists.end()) {
      text += list->second;
    } else {
      error = line + " names no list";
    }
  }
  return error.empty();
}

}  // namespace

int main(int argc, char** argv) {
  std::string text, error;
  if (argc == 3 && FillTemplate(argv[1], text, error)) {
    std::ofstream file(argv[2], std::ios::trunc);
    file << text;
    file.flush();
    return file ? 0 : 1;
  }
  if (argc == 3) {
    std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::fprintf(stderr, "usage: %s <template> <output file>\n", argv[0]);
  return 2;
}
