// kelvarin-host: loads a plug-in, creates and initialises it, runs a scenario of dialog
// commands against it and destroys it, showing every host call as it happens.
//
// Built twice from this file. kelvarin-host exports the eight host functions from its own
// executable. kelvarin-host-modules exports none; it loads each from a small module with
// global scope, except those left out with --without, so that a plug-in's lookup in the
// running process truly finds only the rest. kelvarin-host hands a --without run over to it.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host.h"
#include "session.h"

namespace {

const char *usage =
    "Usage: kelvarin-host [options] PLUGIN [SCENARIO]\n"
    "Loads the plug-in library PLUGIN, prints its descriptor, creates and initialises the\n"
    "plug-in, runs the SCENARIO file of dialog commands against it (none, or -, for steps\n"
    "typed at the terminal), and destroys it. Every call the plug-in makes to the host is\n"
    "shown as it happens, indented; the host log follows at the end.\n"
    "Options:\n"
    "  --host-version X.Y.Z    the version the host reports (default 2.4.1)\n"
    "  --without NAME[,NAME]   leave out these host functions, of the eight the plug-in calls:\n"
    "                          ztGetVersionOfThalorixZT ztShowLogTab ztLogText ztMessageBox\n"
    "                          ztGetOpenFileName ztGetStringParameter ztSetStringParameter\n"
    "                          ztSetIntParameter\n"
    "  --global                load the plug-in with global symbol scope (default: local)\n"
    "  --fill-to-brim          fill value buffers to their last byte, unterminated, when a value\n"
    "                          is that long (default: cut to fit, terminated)\n"
    "  --show-binding          after initPlugin, report what the plug-in's 184 entry-point\n"
    "                          variables point at\n"
    "  --ask                   answer dialogs at the terminal once a scenario file's answers\n"
    "                          run out (default: such dialogs are cancelled)\n"
    "  --help                  show this text\n"
    "Exit status: 0 done, 1 the plug-in refused to initialise, 2 usage, loading or scenario\n"
    "error.\n";

struct Options {
  kwhost::Version version;
  std::set<std::string> without;
  bool global = false, brim = false, show_binding = false, ask = false;
  std::string plugin, scenario;
};

int fail(const std::string &message) {
  std::cerr << "kelvarin-host: " << message << "\n";
  return 2;
}

std::string own_directory() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = '\0';
  std::string dir(path);
  const std::size_t slash = dir.rfind('/');
  return slash == std::string::npos ? "." : dir.substr(0, slash);
}

// Returns -1 when parsing succeeded, otherwise the exit status.
int parse(int argc, char **argv, Options &o) {
  std::vector<std::string> positional;
  for (int i = 1; i < argc; i++) {
    const std::string a = argv[i];
    auto value = [&](std::string &out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--help") {
      std::cout << usage << "\n" << kwhost::scenario_format();
      return 0;
    } else if (a == "--host-version") {
      if (!value(v) || !kwhost::parse_version(v, o.version))
        return fail("--host-version needs X.Y.Z");
    } else if (a == "--without") {
      if (!value(v)) return fail("--without needs a list of names");
      std::stringstream names(v);
      std::string name;
      while (std::getline(names, name, ',')) {
        bool known = false;
        for (const std::string &c : kwhost::called_entry_points()) known = known || c == name;
        if (!known) return fail("--without: " + name + " is not one of the host functions " +
                                "this host provides");
        o.without.insert(name);
      }
    } else if (a == "--global") {
      o.global = true;
    } else if (a == "--fill-to-brim") {
      o.brim = true;
    } else if (a == "--show-binding") {
      o.show_binding = true;
    } else if (a == "--ask") {
      o.ask = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return fail("unknown option " + a + " (see --help)");
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty() || positional.size() > 2) {
    std::cerr << usage;
    return 2;
  }
  o.plugin = positional[0];
  o.scenario = positional.size() == 2 ? positional[1] : "-";
  return -1;
}

}  // namespace

int main(int argc, char **argv) {
  Options o;
  const int parsed = parse(argc, argv, o);
  if (parsed >= 0) return parsed;

#if defined(KW_HOST_FROM_MODULES)
  std::string error;
  if (!kwhost::load_entry_modules(own_directory() + "/entry", o.without, error))
    return fail(error);
#else
  if (!o.without.empty()) {
    // Our own executable exports all eight; only the modular build can truly lack some.
    const std::string modular = own_directory() + "/kelvarin-host-modules";
    argv[0] = const_cast<char *>(modular.c_str());
    execv(modular.c_str(), argv);
    return fail("cannot run " + modular);
  }
#endif

  const bool interactive = o.scenario == "-";
  std::ifstream file;
  if (!interactive) {
    file.open(o.scenario);
    if (!file) return fail("cannot read scenario " + o.scenario);
  }
  std::istream &steps = interactive ? std::cin : file;
  const bool echo_typed = !isatty(STDIN_FILENO);

  kwhost::Host host;
  host.version = o.version;
  host.fill_to_brim = o.brim;
  host.trace = &std::cout;
  kwhost::TerminalAnswers terminal(std::cin, std::cout, echo_typed);
  kwhost::QueuedAnswers answers(interactive || o.ask ? &terminal : nullptr);
  host.dialogs = &answers;
  host.activate();

  std::cout << "kelvarin-host: host version " << o.version.major << "." << o.version.minor << "."
            << o.version.sub;
  if (!o.without.empty()) {
    std::cout << ", without";
    for (const std::string &name : o.without) std::cout << " " << name;
  }
  std::cout << "\n";

  kwhost::PluginLibrary plugin;
  std::string load_error;
  if (!plugin.load(o.plugin, o.global, load_error)) return fail(load_error);
  std::cout << "Loaded " << o.plugin << " with " << (o.global ? "global" : "local")
            << " symbol scope\n";
  plugin.print_descriptor(std::cout);

  std::cout << "createPlugin\n";
  THZTPluginInterface *object = plugin.create_plugin();
  if (object == nullptr) return fail("createPlugin returned null");
  std::cout << "initPlugin\n";
  const bool ready = object->initPlugin();
  std::cout << "initPlugin returned " << (ready ? "true" : "false") << "\n";
  if (o.show_binding) kwhost::print_binding(kwhost::inspect_binding(plugin.handle), std::cout);

  int status = ready ? 0 : 1;
  if (ready) {
    kwhost::Scenario scenario(host, answers, std::cout, !interactive);
    if (interactive)
      std::cout << "Type scenario steps (help shows the format; quit or end of input stops).\n";
    std::string line;
    for (int number = 1;; number++) {
      if (interactive) std::cout << "kelvarin> " << std::flush;
      if (!std::getline(steps, line)) {
        if (interactive) std::cout << "\n";
        break;
      }
      if (interactive && echo_typed) std::cout << line << "\n";
      std::string error;
      const kwhost::Scenario::Step step = scenario.run_line(line, *object, error);
      if (step == kwhost::Scenario::Quit) break;
      if (step == kwhost::Scenario::Failed) {
        const std::string where =
            interactive ? "" : o.scenario + ":" + std::to_string(number) + ": ";
        std::cerr << "kelvarin-host: " << where << error << "\n";
        if (!interactive) {
          status = 2;
          break;
        }
      }
    }
  }

  std::cout << "destroying the plug-in\n";
  delete object;
  std::cout << "Host log:\n";
  for (const std::string &line : host.log()) std::cout << "  " << line << "\n";
  return status;
}
