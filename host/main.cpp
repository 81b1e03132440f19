// kelvarin-host: loads a plug-in, creates and initialises it, runs a scenario of dialog
// commands against it and destroys it, showing every host call as it happens.
//
// Built twice from this file. kelvarin-host exports the eight host functions from its own
// executable. kelvarin-host-modules exports none; it loads each from a small module with
// global scope, except those left out with --without, so that a plug-in's lookup in the
// running process truly finds only the rest. kelvarin-host hands a --without run over to it.
#include <sys/stat.h>
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
    "  --ask                   a dialog with no answer left asks for a path on standard input,\n"
    "                          also when that is not a terminal (default: only a terminal is\n"
    "                          asked; otherwise such a dialog is cancelled)\n"
    "  -h, --help              show this text\n"
    "  --version               show the version of this host simulator\n"
    "Steps are at most 65536 bytes long. At a terminal the prompt has basic line editing:\n"
    "arrows, Home/End, Backspace/Delete, Ctrl-U/Ctrl-K, and Up/Down for earlier lines.\n"
    "Exit status: 0 done, 1 the plug-in refused to initialise, 2 usage, loading or scenario\n"
    "error (also an error in a step typed in, once the run ends).\n";

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
    if (a == "--help" || a == "-h") {
      std::cout << usage << "\n" << kwhost::scenario_format();
      return 0;
    } else if (a == "--version") {
      std::cout << "kelvarin-host " KW_HOST_VERSION "\n";
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
    struct stat status;
    if (stat(o.scenario.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
      return fail("cannot read scenario " + o.scenario + ": it is a directory");
    file.open(o.scenario, std::ios::binary);
    if (!file) return fail("cannot read scenario " + o.scenario);
  }
  // Dialogs ask a person: a terminal, or standard input whatever it is with --ask. Steps piped
  // in are never taken for a path.
  const bool terminal_input = isatty(STDIN_FILENO) != 0;
  kwhost::TerminalLines typed(STDIN_FILENO, std::cout);
  kwhost::StreamLines piped(std::cin, std::cout, true);
  kwhost::LineSource &input = terminal_input ? static_cast<kwhost::LineSource &>(typed) : piped;
  kwhost::StreamLines scenario_file(file, std::cout, false);
  kwhost::LineSource &steps = interactive ? input : scenario_file;
  const std::string steps_name = interactive ? "standard input" : o.scenario;
  const bool ask = o.ask || (interactive && terminal_input);

  kwhost::Host host;
  host.version = o.version;
  host.fill_to_brim = o.brim;
  host.trace = &std::cout;
  kwhost::TerminalAnswers terminal(input, std::cout);
  kwhost::QueuedAnswers answers(ask ? &terminal : nullptr);
  host.dialogs = &answers;
  host.activate();

  std::cout << "kelvarin-host: host version " << o.version.major << "." << o.version.minor << "."
            << o.version.sub;
  if (!o.without.empty()) std::cout << ", without " << kwhost::joined(o.without);
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
  std::cout << "initPlugin returned " << (ready ? "true" : "false");
  if (!ready && !o.without.empty())
    std::cout << " (this host lacks " << kwhost::joined(o.without) << ")";
  std::cout << "\n";
  if (o.show_binding) kwhost::print_binding(kwhost::inspect_binding(plugin.handle), std::cout);

  int status = ready ? 0 : 1;
  if (ready) {
    kwhost::Scenario scenario(host, answers, std::cout, !interactive);
    scenario.set_withheld(o.without);
    if (interactive)
      std::cout << (terminal_input ? "Type scenario steps" : "Scenario steps from standard input")
                << " (help shows the format; quit or end of input stops); a dialog with no"
                << " answer left " << (ask ? "asks for a path" : "is cancelled") << ".\n";
    std::string line;
    for (;;) {
      const kwhost::LineSource::Result read = steps.read(interactive ? "kelvarin> " : "", line);
      if (read == kwhost::LineSource::End) break;
      const std::string where = steps_name + ":" + std::to_string(steps.line_number()) + ": ";
      if (read == kwhost::LineSource::TooLong) {
        std::cerr << "kelvarin-host: " << where << "a step longer than "
                  << kwhost::max_line_bytes << " bytes\n";
        status = 2;
        break;
      }
      std::string error;
      const kwhost::Scenario::Step step = scenario.run_line(line, *object, error);
      if (step == kwhost::Scenario::Quit) break;
      if (step == kwhost::Scenario::Failed) {
        std::cerr << "kelvarin-host: " << where << error << "\n";
        status = 2;
        // Steps typed in go on after a mistake; a scenario file stops at its first.
        if (!interactive) break;
      }
    }
  }

  std::cout << "destroying the plug-in\n";
  delete object;
  std::cout << "Host log:\n";
  for (const std::string &line : host.log()) std::cout << "  " << line << "\n";
  return status;
}
