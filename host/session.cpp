// Driving a plug-in.
#include "session.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace kwhost {

const std::vector<std::string> &called_entry_points() {
  static const std::vector<std::string> names = {
      "ztGetVersionOfThalorixZT", "ztShowLogTab",         "ztLogText",
      "ztMessageBox",             "ztGetOpenFileName",    "ztGetStringParameter",
      "ztSetStringParameter",     "ztSetIntParameter"};
  return names;
}

const std::vector<std::string> &all_entry_points() {
  static const std::vector<std::string> names = {
#include "entry_point_names.inc"
  };
  return names;
}

bool load_entry_modules(const std::string &dir, const std::set<std::string> &withheld,
                        std::string &error) {
  for (const std::string &name : called_entry_points()) {
    if (withheld.count(name) != 0) continue;
    const std::string path = dir + "/entry-" + name + ".so";
    if (dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL) == nullptr) {
      const char *why = dlerror();
      error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
      return false;
    }
  }
  return true;
}

namespace {

template <class Function>
void find_export(void *handle, const char *name, Function &out) {
  out = reinterpret_cast<Function>(dlsym(handle, name));
}

void descriptor_line(std::ostream &out, const char *label, const char *(*get)()) {
  out << "  " << label;
  if (get == nullptr) {
    out << "(not exported)\n";
    return;
  }
  const char *text = get();
  out << (text != nullptr ? quoted(text) : std::string("(null)")) << "\n";
}

bool parse_result(const std::string &text, int &out) {
  if (text.empty()) return false;
  errno = 0;
  char *end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

bool has_elf_header(const std::string &file) {
  std::FILE *f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return true;  // the loader gives the reason
  char magic[4] = {};
  const bool elf = std::fread(magic, 1, sizeof magic, f) == sizeof magic &&
                   std::memcmp(magic, "\x7f" "ELF", sizeof magic) == 0;
  std::fclose(f);
  return elf;
}

// Splits "word rest": the rest is everything after the first blank, byte for byte.
void split(const std::string &line, std::string &word, std::string &rest) {
  const std::size_t blank = line.find(' ');
  word = line.substr(0, blank);
  rest = blank == std::string::npos ? "" : line.substr(blank + 1);
}

}  // namespace

bool PluginLibrary::load(const std::string &path, bool global_scope, std::string &error) {
  // A name without a slash would send the loader searching its library path; the user named a
  // file, so load that file.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  struct stat status;
  if (stat(file.c_str(), &status) != 0) {
    error = "cannot load " + path + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(status.st_mode)) {
    error = "cannot load " + path + ": it is a directory";
    return false;
  }
  if (!has_elf_header(file)) {
    error = "cannot load " + path + ": it is not a shared library";
    return false;
  }
  handle = dlopen(file.c_str(), RTLD_LAZY | (global_scope ? RTLD_GLOBAL : RTLD_LOCAL));
  if (handle == nullptr) {
    const char *why = dlerror();
    error = "cannot load " + path + ": " + (why != nullptr ? why : "the loader refused it");
    return false;
  }
  find_export(handle, "getPluginName", get_plugin_name);
  find_export(handle, "getPluginDescription", get_plugin_description);
  find_export(handle, "getAuthor", get_author);
  find_export(handle, "getHelpFile", get_help_file);
  find_export(handle, "getPluginVersion", get_plugin_version);
  find_export(handle, "getGUIScript", get_gui_script);
  find_export(handle, "createPlugin", create_plugin);
  if (create_plugin == nullptr) {
    error = path + " has no createPlugin";
    return false;
  }
  return true;
}

void PluginLibrary::print_descriptor(std::ostream &out) const {
  out << "Plug-in descriptor:\n";
  descriptor_line(out, "name:        ", get_plugin_name);
  descriptor_line(out, "description: ", get_plugin_description);
  descriptor_line(out, "author:      ", get_author);
  descriptor_line(out, "help file:   ", get_help_file);
  descriptor_line(out, "version:     ", get_plugin_version);
  descriptor_line(out, "GUI script:  ", get_gui_script);
}

Binding inspect_binding(void *plugin_handle) {
  Binding binding;
  Dl_info own;
  const bool have_own = dladdr(reinterpret_cast<void *>(
                                   dlsym(plugin_handle, "createPlugin")), &own) != 0;
  for (const std::string &name : all_entry_points()) {
    void *variable = dlsym(plugin_handle, name.c_str());
    Dl_info where;
    if (variable == nullptr || dladdr(variable, &where) == 0 ||
        (have_own && where.dli_fbase != own.dli_fbase)) {
      binding.not_exported.push_back(name);
      continue;
    }
    void *value = nullptr;
    std::memcpy(&value, variable, sizeof value);
    if (value == nullptr) {
      binding.null.push_back(name);
      continue;
    }
    if (value == variable) {
      binding.other.push_back(name + ": points at itself");
      continue;
    }
    void *entry = nullptr;
    Dl_info target;
    if (dladdr1(value, &target, &entry, RTLD_DL_SYMENT) == 0 || entry == nullptr) {
      binding.other.push_back(name + ": points outside every loaded object");
      continue;
    }
    const ElfW(Sym) *symbol = static_cast<const ElfW(Sym) *>(entry);
    const unsigned type = symbol->st_info & 0xfu;
    const bool function = type == STT_FUNC || type == STT_GNU_IFUNC;
    if (have_own && target.dli_fbase == own.dli_fbase)
      binding.other.push_back(name + ": points into the plug-in");
    else if (!function || target.dli_saddr != value || target.dli_sname == nullptr ||
             name != target.dli_sname)
      binding.other.push_back(name + ": points at " +
                              (target.dli_sname != nullptr ? target.dli_sname : "an unnamed object"));
    else
      binding.host_functions.push_back(name);
  }
  return binding;
}

void print_binding(const Binding &binding, std::ostream &out) {
  out << "Entry-point variables: " << binding.host_functions.size() << " bound to host functions, "
      << binding.null.size() << " null, " << binding.other.size() << " bound elsewhere, "
      << binding.not_exported.size() << " not exported\n";
  // The shorter of the two main lists says it all.
  const bool list_bound = binding.host_functions.size() <= binding.null.size();
  const std::vector<std::string> &names = list_bound ? binding.host_functions : binding.null;
  if (!names.empty() && names.size() < all_entry_points().size()) {
    out << (list_bound ? "  bound:" : "  null:");
    for (const std::string &name : names) out << " " << name;
    out << "\n";
  }
  for (const std::string &line : binding.other) out << "  " << line << "\n";
  for (const std::string &name : binding.not_exported) out << "  not exported: " << name << "\n";
}

const char *scenario_format() {
  return "Scenario format: one step per line; blank lines and lines starting with # are skipped.\n"
         "The text after a keyword is everything after its first blank, byte for byte.\n"
         "  filetype TEXT    set \"FileType\" (the filter of the source-file dialog) to TEXT\n"
         "  set NAME TEXT    set the text parameter NAME to TEXT\n"
         "  setint NAME N    set the integer parameter NAME to N\n"
         "  choose PATH      the next open-file dialog returns 1 with PATH\n"
         "  cancel           the next open-file dialog is cancelled (returns 0)\n"
         "  reply N PATH     the next open-file dialog returns N with PATH in its buffer\n"
         "  command NAME     set \"Command\" to NAME and call the plug-in's execute\n"
         "  show NAME        print the parameter NAME as the dialog script would read it\n"
         "  help             print this format\n"
         "  quit             stop (so does the end of the scenario)\n"
         "Leading blanks are ignored. Answers are used in order. A dialog with no answer left\n"
         "asks for a path when steps are typed at a terminal, or with --ask (an empty line\n"
         "cancels); otherwise it is cancelled.\n"
         "Commands the plug-in knows (exact, case-sensitive; any other does nothing):\n"
         "  GetFileName        a source file, filtered by \"FileType\"; the path goes to \"Filename\"\n"
         "  GetTargetFileName  the alignment target (*.fmr); the path goes to \"TargetFilename\"\n"
         "  GetTextFileName    a list of source files (*.txt); the path goes to \"Filename\"\n"
         "A chosen file also sets \"ErrorNr\" to 0; no file sets \"ErrorNr\" to -1 and \"ErrorMsg\".\n"
         "Example: pick a source file, then cancel the dialog of its alignment target.\n"
         "  filetype Thalorix functional project (*.fmr)\n"
         "  choose /data/sub-01/run-1.fmr\n"
         "  command GetFileName\n"
         "  show Filename\n"
         "  cancel\n"
         "  command GetTargetFileName\n"
         "  show ErrorMsg\n";
}

std::string joined(const std::set<std::string> &names) {
  std::string out;
  for (const std::string &name : names) out += (out.empty() ? "" : " ") + name;
  return out;
}

Scenario::Step Scenario::run_line(std::string line, THZTPluginInterface &plugin,
                                  std::string &error) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // Indentation is not part of a step; blanks after the keyword are kept.
  line.erase(0, line.find_first_not_of(" \t"));
  if (line.empty() || line[0] == '#') return Next;
  std::string word, rest;
  split(line, word, rest);
  if (echo_lines_ && word != "quit") out_ << "> " << line << "\n";

  if (word == "filetype") {
    host_.set_text("FileType", rest);
  } else if (word == "set" || word == "setint") {
    std::string name, value;
    split(rest, name, value);
    if (name.empty()) {
      error = word + " needs a parameter name";
      return Failed;
    }
    if (word == "set") {
      host_.set_text(name, value);
    } else {
      int n = 0;
      if (!parse_result(value, n)) {
        error = "setint needs an integer, not " + quoted(value);
        return Failed;
      }
      host_.set_integer(name, n);
    }
  } else if (word == "choose") {
    if (rest.empty()) {
      error = "choose needs a path (cancel stands for no file)";
      return Failed;
    }
    answers_.push({1, rest});
  } else if (word == "cancel") {
    answers_.push({0, ""});
  } else if (word == "reply") {
    std::string number, path;
    split(rest, number, path);
    int result = 0;
    if (!parse_result(number, result)) {
      error = "reply needs an integer result, not " + quoted(number);
      return Failed;
    }
    answers_.push({result, path});
  } else if (word == "command") {
    host_.set_text("Command", rest);
    const std::size_t calls_before = host_.calls().size();
    const bool result = plugin.execute();
    out_ << "execute returned " << (result ? "true" : "false");
    if (host_.calls().size() == calls_before) {
      out_ << " without calling the host: nothing was read, shown or written";
      if (!withheld_.empty()) out_ << " (this host lacks " << joined(withheld_) << ")";
    }
    out_ << "\n";
  } else if (word == "show") {
    if (rest.empty()) {
      error = "show needs a parameter name";
      return Failed;
    }
    const Parameter *p = host_.find(rest);
    out_ << "  " << quoted(rest) << " is ";
    if (p == nullptr)
      out_ << "not set\n";
    else if (p->kind == Parameter::Integer)
      out_ << p->integer << "\n";
    else
      out_ << quoted(p->text) << "\n";
  } else if (word == "help") {
    out_ << scenario_format();
  } else if (word == "quit") {
    return Quit;
  } else {
    error = "unknown keyword " + quoted(word);
    return Failed;
  }
  return Next;
}

}  // namespace kwhost
