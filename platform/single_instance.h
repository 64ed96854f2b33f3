#pragma once
// One running instance of a program per user and graphical session: the first
// start claims the session's name and hears later starts; a later start tells
// the running one (which shows its window) and ends.
//
// POSIX: a socket in the user's own runtime folder ($XDG_RUNTIME_DIR, which
// must be the user's alone), named for the display. Windows: a named event in
// the session's own namespace.

#include <functional>
#include <memory>
#include <string>

namespace orvelle {

class SingleInstance {
 public:
  // `program`: the program's name; the session's is added. `folder`: where
  // POSIX puts the socket (empty: $XDG_RUNTIME_DIR).
  explicit SingleInstance(std::string program, std::string folder = {});
  ~SingleInstance();  // stops hearing later starts
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // True when an instance of this session was reached and told to show itself.
  bool TellRunning();
  // Hears later starts: `told` runs, on a thread of its own, once for each.
  // False when this start could not claim the session's name (another start
  // claimed it first, or there is no folder of the user's own for it).
  bool Claim(std::function<void()> told);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace orvelle
