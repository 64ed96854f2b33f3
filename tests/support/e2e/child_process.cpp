#include "tests/support/e2e/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace orvelle::e2e {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings)
    pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

std::string NameOf(const std::string& entry) {
  return entry.substr(0, entry.find('='));
}

}  // namespace

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& overrides) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (std::none_of(overrides.begin(), overrides.end(),
                     [&](const std::string& o) { return NameOf(o) == NameOf(entry); }))
      env.push_back(entry);
  }
  for (const std::string& o : overrides) {
    if (o.find('=') != std::string::npos) env.push_back(o);
  }
  return env;
}

// A program that still runs at the first failure also leaves where each of
// its threads is, which tells a hung one from a slow one.
ChildProcess::ChildProcess()
    : keptOutputs_([this](const std::filesystem::path& folder, int failure) {
        for (const std::filesystem::path from : outputFiles_) {
          std::error_code ec;
          std::filesystem::copy_file(from, folder / from.filename(),
                                     std::filesystem::copy_options::overwrite_existing, ec);
        }
        if (failure != 1 || outputFiles_.empty() || !Running() || !OnPath("gdb")) return;
        const auto name = std::filesystem::path(outputFiles_.back()).filename();
        std::ofstream(folder / name.string().append(".threads")) << RunCommand(
            {"gdb", "-p", std::to_string(pid_), "-batch", "-ex", "thread apply all bt"},
            EnvironmentWith({}), std::chrono::seconds(30));
      }) {}

ChildProcess::~ChildProcess() {
  Stop();
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& environment,
                         const std::string& outputFile) {
  int in[2];
  if (pipe(in) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::vector<std::string> args = argv;
  std::vector<std::string> env = environment;
  const int rc = posix_spawnp(&pid_, args[0].c_str(), &actions, nullptr, Pointers(args).data(),
                              Pointers(env).data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  if (rc != 0) {
    close(in[1]);
    pid_ = -1;
    return false;
  }
  stdinWrite_ = in[1];
  outputFiles_.push_back(outputFile);
  return true;
}

bool ChildProcess::Input(const std::string& line) {
  const std::string text = line + "\n";
  return stdinWrite_ >= 0 &&
         write(stdinWrite_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

bool ChildProcess::Running() {
  return pid_ >= 0 && WaitExit(std::chrono::milliseconds(0)) < 0;
}

int ChildProcess::WaitExit(std::chrono::milliseconds limit) {
  int status = 0;
  pid_t reaped = 0;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pid_ >= 0 && (reaped = waitpid(pid_, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (reaped != pid_) return pid_ < 0 ? status_ : -1;
  pid_ = -1;
  return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void ChildProcess::Stop() {
  if (pid_ >= 0) {
    kill(pid_, SIGTERM);
    if (WaitExit(std::chrono::seconds(3)) < 0) {
      kill(pid_, SIGKILL);
      WaitExit(std::chrono::seconds(3));
    }
  }
  if (stdinWrite_ >= 0) close(stdinWrite_);
  stdinWrite_ = -1;
}

std::string RunCommand(const std::vector<std::string>& argv,
                       const std::vector<std::string>& environment,
                       std::chrono::milliseconds limit) {
  char path[] = "/tmp/orvelle-e2e-out-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return {};
  close(fd);
  std::string output;
  {
    ChildProcess child;
    if (child.Start(argv, environment, path) && child.WaitExit(limit) == 0) output = ReadFile(path);
  }
  unlink(path);
  return output;
}

std::string ReadFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

}  // namespace orvelle::e2e
