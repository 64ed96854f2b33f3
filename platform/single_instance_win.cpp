#include <windows.h>

#include <thread>

#include "platform/single_instance.h"

namespace orvelle {

struct SingleInstance::State {
  std::wstring name;
  HANDLE told = nullptr;
  HANDLE stop = nullptr;
  std::thread thread;
};

// "Local\" is the session's own namespace; the user's name keeps another
// user's start in the same session apart.
SingleInstance::SingleInstance(std::string program, std::string)
    : state_(std::make_unique<State>()) {
  wchar_t user[256] = {};
  DWORD length = 256;
  GetUserNameW(user, &length);
  state_->name = L"Local\\Orvelle-" + std::wstring(program.begin(), program.end()) + L"-" + user;
}

SingleInstance::~SingleInstance() {
  if (state_->thread.joinable()) {
    SetEvent(state_->stop);
    state_->thread.join();
  }
  if (state_->told) CloseHandle(state_->told);
  if (state_->stop) CloseHandle(state_->stop);
}

bool SingleInstance::TellRunning() {
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, state_->name.c_str());
  if (!event) return false;
  const bool told = SetEvent(event) != 0;
  CloseHandle(event);
  return told;
}

bool SingleInstance::Claim(std::function<void()> told) {
  if (state_->told) return false;
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, state_->name.c_str());
  if (!event || GetLastError() == ERROR_ALREADY_EXISTS) {
    if (event) CloseHandle(event);
    return false;
  }
  state_->told = event;
  state_->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  state_->thread = std::thread([state = state_.get(), told = std::move(told)] {
    const HANDLE events[] = {state->told, state->stop};
    while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0)
      told();
  });
  return true;
}

}  // namespace orvelle
