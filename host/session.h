// Driving a plug-in: loading it, its descriptor, the host functions it can find, what its
// entry-point variables ended up pointing at, and the scenario of dialog commands.
#ifndef KELVARIN_HOST_SESSION_H
#define KELVARIN_HOST_SESSION_H

#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "host.h"
#include "plugin_interface.h"

namespace kwhost {

// The eight host functions our plug-in calls, and all 184 names a plug-in may look up, in the
// plug-in's lookup order.
const std::vector<std::string> &called_entry_points();
const std::vector<std::string> &all_entry_points();

// Loads, with global scope, the small module dir/entry-<name>.so of each called entry point
// not withheld, so that a lookup in the running process finds exactly these host functions.
bool load_entry_modules(const std::string &dir, const std::set<std::string> &withheld,
                        std::string &error);

// A plug-in library opened with lazy binding, and its plain-named exports. Never closed: its
// entry-point variables are process-wide and stay bound until the process ends.
struct PluginLibrary {
  void *handle = nullptr;
  const char *(*get_plugin_name)() = nullptr;
  const char *(*get_plugin_description)() = nullptr;
  const char *(*get_author)() = nullptr;
  const char *(*get_help_file)() = nullptr;
  const char *(*get_plugin_version)() = nullptr;
  const char *(*get_gui_script)() = nullptr;
  THZTPluginInterface *(*create_plugin)() = nullptr;

  // False with a reason when the library cannot be opened or has no createPlugin.
  bool load(const std::string &path, bool global_scope, std::string &error);
  void print_descriptor(std::ostream &out) const;
};

// What each of the plug-in's 184 entry-point variables points at after binding.
struct Binding {
  std::vector<std::string> host_functions;  // a function of that name outside the plug-in
  std::vector<std::string> null;
  std::vector<std::string> other;           // "name: what", e.g. its own variable
  std::vector<std::string> not_exported;    // the plug-in has no variable of that name
};
Binding inspect_binding(void *plugin_handle);
void print_binding(const Binding &binding, std::ostream &out);

// The scenario format, as --help and the interactive "help" show it.
const char *scenario_format();

// Runs scenario lines against a plug-in whose initPlugin returned true.
class Scenario {
 public:
  enum Step { Next, Quit, Failed };
  // echo_lines: repeat each line as "> line" before running it (a scenario file).
  Scenario(Host &host, QueuedAnswers &answers, std::ostream &out, bool echo_lines)
      : host_(host), answers_(answers), out_(out), echo_lines_(echo_lines) {}
  Step run_line(std::string line, THZTPluginInterface &plugin, std::string &error);
  // The host functions this host was started without, named when execute calls none at all.
  void set_withheld(const std::set<std::string> &names) { withheld_ = names; }

 private:
  Host &host_;
  QueuedAnswers &answers_;
  std::ostream &out_;
  bool echo_lines_;
  std::set<std::string> withheld_;
};

// "name1 name2" for a set of names, in their order.
std::string joined(const std::set<std::string> &names);

}  // namespace kwhost

#endif  // KELVARIN_HOST_SESSION_H
