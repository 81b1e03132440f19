// The plug-in: its descriptor exports, its factory and the plug-in class.
//
// The descriptor functions and createPlugin carry plain, undecorated names, looked up by the
// host under exactly these names. Every text they return is constant, statically allocated and
// owned by the library; the host must not free it.
#ifndef KELVARINWIZARD_KELVARINWIZARD_H
#define KELVARINWIZARD_KELVARINWIZARD_H

#include "THZTPluginInterface.h"

extern "C" {
KELVARINWIZARD_API const char *getPluginName();         // "kelvarinwizard (v1.5)"
KELVARINWIZARD_API const char *getPluginDescription();  // rich text, ends in "<br>"
KELVARINWIZARD_API const char *getAuthor();             // rich-text credit line
KELVARINWIZARD_API const char *getHelpFile();           // "": no help file (never null)
KELVARINWIZARD_API const char *getPluginVersion();      // "1.5"
KELVARINWIZARD_API const char *getGUIScript();          // the dialog script the host runs
// A new kelvarin object from the ordinary allocator at every call; the host owns it and
// destroys it through the virtual destructor.
KELVARINWIZARD_API THZTPluginInterface *createPlugin();
}

// The plug-in object: exactly one virtual-table pointer, no state of its own.
//
// Missing host functions: no call is ever made through an unbound entry point.
//  - initPlugin returns false, showing and logging nothing, when the host has no version
//    function, or when it is recent enough but lacks ztShowLogTab or ztLogText. A host older
//    than 2.4.1 gets the refusal in a message box only if it has ztMessageBox.
//  - execute does nothing and returns true unless ztGetStringParameter, ztSetStringParameter,
//    ztSetIntParameter and ztGetOpenFileName are all bound.
//  - the destructor writes its closing line only when ztLogText is bound (it runs also after a
//    failed initPlugin, possibly with nothing bound).
class kelvarin : public THZTPluginInterface {
 public:
  // Writes "kelvarinplugin finished!" to the host's log.
  ~kelvarin() override;
  // Runs the dialog command in the parameter "Command": shows the open-file dialog and leaves
  // the path, or "ErrorNr" -1 and "ErrorMsg", in the host's parameters. Always true.
  bool execute() override;
  // Binds the host's entry points, refuses hosts older than 2.4.1, shows the log and writes
  // "Running kelvarinwizard...".
  bool initPlugin() override;
};

#endif  // KELVARINWIZARD_KELVARINWIZARD_H
