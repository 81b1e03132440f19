// The host functions a plug-in finds by name in the running process. Each forwards to the
// active Host, with the argument lists plug-ins rely on; with no active host they do nothing.
//
// KW_HOST_ENTRY_<name> selects each function: all eight for a host that exports them from its
// executable, one for a small module that a host loads with global scope (or leaves out).
// KW_HOST_STUBS adds the other 176 names as harmless functions that do nothing.
#include "host.h"

using kwhost::Host;

extern "C" {

#if defined(KW_HOST_ENTRY_ztGetVersionOfThalorixZT)
void ztGetVersionOfThalorixZT(int *major, int *minor, int *sub) {
  if (Host *h = Host::active()) h->get_version(major, minor, sub);
}
#endif

#if defined(KW_HOST_ENTRY_ztShowLogTab)
void ztShowLogTab() {
  if (Host *h = Host::active()) h->show_log_tab();
}
#endif

#if defined(KW_HOST_ENTRY_ztLogText)
void ztLogText(const char *text) {
  if (Host *h = Host::active()) h->log_text(text);
}
#endif

#if defined(KW_HOST_ENTRY_ztMessageBox)
void ztMessageBox(const char *text) {
  if (Host *h = Host::active()) h->message_box(text);
}
#endif

#if defined(KW_HOST_ENTRY_ztGetStringParameter)
void ztGetStringParameter(const char *name, char *value) {
  if (Host *h = Host::active()) h->get_string_parameter(name, value);
}
#endif

#if defined(KW_HOST_ENTRY_ztSetStringParameter)
void ztSetStringParameter(const char *name, const char *value) {
  if (Host *h = Host::active()) h->set_string_parameter(name, value);
}
#endif

#if defined(KW_HOST_ENTRY_ztSetIntParameter)
void ztSetIntParameter(const char *name, int value) {
  if (Host *h = Host::active()) h->set_int_parameter(name, value);
}
#endif

#if defined(KW_HOST_ENTRY_ztGetOpenFileName)
int ztGetOpenFileName(const char *title, const char *initial, const char *filter, char *path) {
  Host *h = Host::active();
  return h != nullptr ? h->get_open_file_name(title, initial, filter, path) : 0;
}
#endif

#if defined(KW_HOST_STUBS)
#define KW_STUB(name) \
  void name() {}
#include "entry_point_stubs.inc"
#undef KW_STUB
#endif

}  // extern "C"
