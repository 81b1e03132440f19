// The interface between the host and its plug-ins, and the plug-in's binding to the host.
//
// The host knows a plug-in only as a THZTPluginInterface; it calls the virtual operations in
// slot order: destructor, execute, initPlugin. The plug-in reaches the host only through 184
// process-wide pointer variables, named exactly like the host functions they point at (for
// example ztLogText), which InitZTAccess fills by looking the names up in the running process.
//
// Thread rule: the variables are written only by InitZTAccess, on the host's thread during
// initPlugin, and only read afterwards. No locks.
#ifndef KELVARINWIZARD_THZTPLUGININTERFACE_H
#define KELVARINWIZARD_THZTPLUGININTERFACE_H

#ifndef KELVARINWIZARD_API
#define KELVARINWIZARD_API __attribute__((visibility("default")))
#endif

// The abstract plug-in. No data members; the host owns an object from the moment the factory
// returns it and destroys it through the virtual destructor.
class THZTPluginInterface {
 public:
  virtual ~THZTPluginInterface() {}
  // Runs one dialog command. Only after initPlugin returned true.
  virtual bool execute() = 0;
  // Binds the host and checks it. False: the host must not use the object except to destroy it.
  virtual bool initPlugin() = 0;
};

// The host functions this plug-in calls, with the argument lists it relies on. Texts are
// NUL-terminated 8-bit strings. Return values the plug-in ignores are declared void.
//
//   ztGetVersionOfThalorixZT  fills major, minor, sub.
//   ztShowLogTab              makes the host's log visible.
//   ztLogText                 appends the text to the host's log.
//   ztMessageBox              shows the text to the user.
//   ztGetStringParameter      copies the named parameter's value into a 100-byte buffer; the
//                             host must write no more than 100 bytes, terminator included. The
//                             plug-in terminates the buffer at its last byte afterwards.
//   ztSetStringParameter      stores the text under the name, for the dialog script.
//   ztSetIntParameter         stores the integer under the name, for the dialog script.
//   ztGetOpenFileName         shows the open-file dialog (title, a second text that is always
//                             "", file-type filter "Description (*.ext)", 256-byte buffer for
//                             the path, terminated by the plug-in at its last byte afterwards);
//                             returns 1 when a file was chosen, anything else otherwise.
typedef void (*ztGetVersionOfThalorixZT_fn)(int *major, int *minor, int *sub);
typedef void (*ztShowLogTab_fn)();
typedef void (*ztLogText_fn)(const char *text);
typedef void (*ztMessageBox_fn)(const char *text);
typedef void (*ztGetStringParameter_fn)(const char *name, char *value);
typedef void (*ztSetStringParameter_fn)(const char *name, const char *value);
typedef void (*ztSetIntParameter_fn)(const char *name, int value);
typedef int (*ztGetOpenFileName_fn)(const char *title, const char *initial, const char *filter,
                                    char *path);

// The type of the other 176 entry-point variables (the host functions this plug-in never calls;
// their argument lists are the host's business): cast to the host function's own type to call.
typedef void (*ZTHostFunction)();

// Null until InitZTAccess binds them; null afterwards where the host has no such function.
// A call must never go through a null variable.
extern KELVARINWIZARD_API ztGetVersionOfThalorixZT_fn ztGetVersionOfThalorixZT;
extern KELVARINWIZARD_API ztShowLogTab_fn ztShowLogTab;
extern KELVARINWIZARD_API ztLogText_fn ztLogText;
extern KELVARINWIZARD_API ztMessageBox_fn ztMessageBox;
extern KELVARINWIZARD_API ztGetOpenFileName_fn ztGetOpenFileName;
extern KELVARINWIZARD_API ztGetStringParameter_fn ztGetStringParameter;
extern KELVARINWIZARD_API ztSetStringParameter_fn ztSetStringParameter;
extern KELVARINWIZARD_API ztSetIntParameter_fn ztSetIntParameter;

#include "THZTEntryPoints.inc"
#define KELVARINWIZARD_DECLARE_NOTHING(name)
#define KELVARINWIZARD_DECLARE_OTHER(name) extern KELVARINWIZARD_API ZTHostFunction name;
KELVARINWIZARD_ENTRY_POINTS(KELVARINWIZARD_DECLARE_NOTHING, KELVARINWIZARD_DECLARE_OTHER)
#undef KELVARINWIZARD_DECLARE_OTHER
#undef KELVARINWIZARD_DECLARE_NOTHING
#undef KELVARINWIZARD_ENTRY_POINTS

// Looks up all 184 host functions by name, through the handle of dlopen(nullptr, RTLD_LAZY)
// (kept open for the life of the process), and stores each in its variable, in table order.
// False, with every variable left as it was, when the process scope cannot be opened or the
// host has no ztGetVersionOfThalorixZT; then no other name is looked up. Otherwise true, with
// null in the variable of every function the host lacks. A name that resolves to anything but
// a function outside this library (our own variable of that name under a flat namespace,
// another plug-in's variable, any data object) counts as lacking. A repeated call repeats
// every lookup and writes the same values.
KELVARINWIZARD_API bool InitZTAccess();

// True when version major.minor.sub is equal to or later than reqMajor.reqMinor.reqSub,
// comparing majors first, then minors, then subs.
KELVARINWIZARD_API bool checkVersionGreaterEqualVersion(int major, int minor, int sub,
                                                        int reqMajor, int reqMinor, int reqSub);

#endif  // KELVARINWIZARD_THZTPLUGININTERFACE_H
