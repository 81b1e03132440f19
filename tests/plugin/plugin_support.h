// Test support for driving the real plug-in library through the host simulator.
#ifndef KELVARINWIZARD_TESTS_PLUGIN_SUPPORT_H
#define KELVARINWIZARD_TESTS_PLUGIN_SUPPORT_H

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host.h"
#include "session.h"

namespace kwtest {

// The real library, opened once per process with the given scope, and the exports the tests
// reach besides the descriptor: the binding and the version comparison (C++ names).
struct Plugin {
  kwhost::PluginLibrary library;
  bool (*init_zt_access)() = nullptr;
  bool (*check_version)(int, int, int, int, int, int) = nullptr;

  bool open(bool global_scope, std::string &error) {
    if (!library.load(KW_PLUGIN_PATH, global_scope, error)) return false;
    init_zt_access = reinterpret_cast<bool (*)()>(dlsym(library.handle, "_Z12InitZTAccessv"));
    check_version = reinterpret_cast<bool (*)(int, int, int, int, int, int)>(
        dlsym(library.handle, "_Z31checkVersionGreaterEqualVersioniiiiii"));
    if (init_zt_access == nullptr || check_version == nullptr) {
      error = "InitZTAccess or checkVersionGreaterEqualVersion is not exported";
      return false;
    }
    return true;
  }
  // The current value of the plug-in's entry-point variable of this name.
  void *variable(const std::string &name) const {
    void *address = dlsym(library.handle, name.c_str());
    void *value = nullptr;
    if (address != nullptr) std::memcpy(&value, address, sizeof value);
    return value;
  }
  void *variable_address(const std::string &name) const {
    return dlsym(library.handle, name.c_str());
  }
  std::vector<void *> table() const {
    std::vector<void *> values;
    for (const std::string &name : kwhost::all_entry_points()) values.push_back(variable(name));
    return values;
  }
  std::unique_ptr<THZTPluginInterface> create() const {
    return std::unique_ptr<THZTPluginInterface>(library.create_plugin());
  }
};

// What a lookup in the running process finds under this name (the host's function, if any).
inline void *process_symbol(const std::string &name) {
  static void *scope = dlopen(nullptr, RTLD_LAZY);
  return dlsym(scope, name.c_str());
}

// Collects failures inside a child process, where gtest assertions cannot report back.
class Checks {
 public:
  void check(bool ok, const std::string &what) {
    if (!ok) failures_ += what + "\n";
  }
  template <class A, class B>
  void equal(const A &got, const B &want, const std::string &what) {
    if (!(got == want)) {
      std::ostringstream s;
      s << what << ": got " << show(got) << ", want " << show(want) << "\n";
      failures_ += s.str();
    }
  }
  // Ends the child: status 0 when every check passed, else the failures on standard error.
  [[noreturn]] void finish() {
    std::fputs(failures_.c_str(), stderr);
    std::fflush(stderr);
    _exit(failures_.empty() ? 0 : 1);
  }

 private:
  template <class T>
  static std::string show(const T &value) {
    std::ostringstream s;
    s << value;
    return s.str();
  }
  static std::string show(const std::vector<std::string> &lines) {
    std::string s = "{";
    for (const std::string &line : lines) s += "\n    " + line;
    return s + "}";
  }
  std::string failures_;
};

}  // namespace kwtest

#endif  // KELVARINWIZARD_TESTS_PLUGIN_SUPPORT_H
