// The plug-in object, its descriptor exports and factory.
#include "kelvarinwizard.h"

#include <cstring>
#include <type_traits>

// A host may be built by another compiler from its own copy of the interface: what binds is a
// polymorphic object that is nothing but its virtual-table pointer.
static_assert(std::is_polymorphic<kelvarin>::value, "kelvarin has a virtual table");
static_assert(sizeof(kelvarin) == sizeof(void *), "kelvarin is one virtual-table pointer");

static const char *PluginDescription = "Plugin to process multiple Thalorix files<br>";

const char *getPluginName() { return "kelvarinwizard (v1.5)"; }
const char *getPluginDescription() { return PluginDescription; }
const char *getAuthor() { return "<i>Mirela Vostrikova</i>, Kelvarin Imaging Group"; }
const char *getHelpFile() { return ""; }
const char *getPluginVersion() { return "1.5"; }
const char *getGUIScript() { return "kelvarinwizard_v15.js"; }

THZTPluginInterface *createPlugin() { return new kelvarin; }

namespace {

// The plug-in's buffers for host values; the host is told no length.
constexpr int parameter_buffer_size = 100;
constexpr int path_buffer_size = 256;

struct DialogCommand {
  const char *command;
  const char *title;
  const char *filter;  // null: the value of "FileType"
  const char *result;  // the parameter that receives the chosen path
};

// Compared exactly, byte for byte, in this order.
const DialogCommand dialog_commands[] = {
    {"GetFileName", "Please select the source file", nullptr, "Filename"},
    {"GetTargetFileName",
     "Please select the intra-session alignment target file for this source file",
     "Thalorix functional project (*.fmr)", "TargetFilename"},
    {"GetTextFileName", "Please select the text file with source filenames",
     "Text file with source filenames (*.txt)", "Filename"},
};

// Reads a named parameter. The buffer starts empty so that a host which writes nothing leaves
// a valid text, and is terminated at its last byte so that a host which fills it to the brim
// cannot make us read past its end.
void read_parameter(const char *name, char (&value)[parameter_buffer_size]) {
  std::memset(value, 0, sizeof value);
  ztGetStringParameter(name, value);
  value[parameter_buffer_size - 1] = '\0';
}

}  // namespace

kelvarin::~kelvarin() {
  if (ztLogText != nullptr) ztLogText("kelvarinplugin finished!");
}

bool kelvarin::initPlugin() {
  if (!InitZTAccess()) return false;
  // InitZTAccess succeeds only with the version entry point bound. Zeros stand for a host
  // that fills nothing, which is then refused as too old.
  int major = 0, minor = 0, sub = 0;
  ztGetVersionOfThalorixZT(&major, &minor, &sub);
  if (!checkVersionGreaterEqualVersion(major, minor, sub, 2, 4, 1)) {
    if (ztMessageBox != nullptr)
      ztMessageBox("Can not execute this plugin - ThalorixZT version 2.4.1 or higher required.");
    return false;
  }
  if (ztShowLogTab == nullptr || ztLogText == nullptr) return false;
  ztShowLogTab();
  ztLogText("Running kelvarinwizard...");
  return true;
}

bool kelvarin::execute() {
  if (ztGetStringParameter == nullptr || ztSetStringParameter == nullptr ||
      ztSetIntParameter == nullptr || ztGetOpenFileName == nullptr)
    return true;

  char command[parameter_buffer_size];
  char file_type[parameter_buffer_size];
  read_parameter("Command", command);
  read_parameter("FileType", file_type);

  const DialogCommand *chosen = nullptr;
  for (const DialogCommand &candidate : dialog_commands) {
    if (std::strcmp(command, candidate.command) == 0) {
      chosen = &candidate;
      break;
    }
  }
  if (chosen == nullptr) return true;

  char path[path_buffer_size];
  std::memset(path, 0, sizeof path);
  const int answer = ztGetOpenFileName(
      chosen->title, "", chosen->filter != nullptr ? chosen->filter : file_type, path);
  path[path_buffer_size - 1] = '\0';

  if (answer == 1) {
    ztSetStringParameter(chosen->result, path);
    ztSetIntParameter("ErrorNr", 0);
  } else {
    ztSetIntParameter("ErrorNr", -1);
    ztSetStringParameter("ErrorMsg", "No file selected");
  }
  return true;
}
