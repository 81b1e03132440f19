// Binding to hosts that lack some host functions. Each case runs in a fresh process (the
// plug-in's entry-point variables are process-wide) that builds its host from the entry-point
// modules it loads with global scope, so a lookup in the process truly finds only those.
#include <algorithm>

#include "kw_test.h"
#include "plugin_support.h"

namespace {

using Calls = std::vector<std::string>;

struct HostSetup {
  std::set<std::string> without;  // of the eight called host functions
  bool plugin_global = false;     // load the plug-in with global symbol scope
  kwhost::Version version;
};

// In the child: load the host functions and the plug-in; failures end the child.
struct Child {
  kwhost::Host host;
  kwhost::QueuedAnswers answers;
  kwtest::Plugin plugin;
  kwtest::Checks checks;

  explicit Child(const HostSetup &setup) {
    host.version = setup.version;
    host.dialogs = &answers;
    host.activate();
    std::string error;
    if (!kwhost::load_entry_modules(KW_ENTRY_MODULE_DIR, setup.without, error) ||
        !plugin.open(setup.plugin_global, error)) {
      checks.check(false, error);
      checks.finish();
    }
  }
  // Every variable other than those named is null; the named ones hold the host's functions.
  void expect_bound_exactly(const std::set<std::string> &bound) {
    for (const std::string &name : kwhost::all_entry_points()) {
      void *want = bound.count(name) ? kwtest::process_symbol(name) : nullptr;
      if (bound.count(name)) checks.check(want != nullptr, name + " is in the host");
      checks.equal(plugin.variable(name), want, name);
    }
  }
};

std::set<std::string> called_except(const std::set<std::string> &without) {
  std::set<std::string> names;
  for (const std::string &name : kwhost::called_entry_points())
    if (!without.count(name)) names.insert(name);
  return names;
}

void host_without_version_entry_point(bool global) {
  Child c({{"ztGetVersionOfThalorixZT"}, global, {}});
  c.checks.check(!c.plugin.init_zt_access(), "InitZTAccess refuses");
  c.expect_bound_exactly({});
  auto p = c.plugin.create();
  c.checks.check(!p->initPlugin(), "initPlugin refuses");
  c.checks.equal(c.host.calls(), Calls{}, "no host call at all");
  c.checks.check(p->execute(), "execute returns true");
  p.reset();
  c.checks.equal(c.host.calls(), Calls{}, "destruction calls nothing");
  c.checks.finish();
}

TEST(PluginBinding, HostWithoutVersionEntryPoint) {
  EXPECT_EXIT(host_without_version_entry_point(false), ::testing::ExitedWithCode(0), "");
}

// Under a flat namespace the lookup of the missing version function finds the plug-in's own
// variable of that name; it must count as missing too.
TEST(PluginBinding, HostWithoutVersionEntryPointFlatNamespace) {
  EXPECT_EXIT(host_without_version_entry_point(true), ::testing::ExitedWithCode(0), "");
}

void host_with_nothing(bool global) {
  HostSetup setup;
  setup.plugin_global = global;
  for (const std::string &name : kwhost::called_entry_points()) setup.without.insert(name);
  Child c(setup);
  auto p = c.plugin.create();
  c.checks.check(!p->initPlugin(), "initPlugin refuses");
  c.expect_bound_exactly({});
  p.reset();
  c.checks.equal(c.host.calls(), Calls{}, "no host call at all");
  c.checks.finish();
}

TEST(PluginBinding, HostWithNoFunctions) {
  EXPECT_EXIT(host_with_nothing(false), ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(host_with_nothing(true), ::testing::ExitedWithCode(0), "");
}

void host_with_only_version_entry_point() {
  HostSetup setup;
  setup.without = called_except({"ztGetVersionOfThalorixZT"});
  Child c(setup);
  c.checks.check(c.plugin.init_zt_access(), "InitZTAccess succeeds");
  c.expect_bound_exactly({"ztGetVersionOfThalorixZT"});
  auto p = c.plugin.create();
  // Recent enough, but without a log to write to: refused without a word.
  c.checks.check(!p->initPlugin(), "initPlugin refuses");
  c.checks.equal(c.host.calls(), Calls{"version -> 2.4.1"}, "only the version was asked");
  c.host.set_text("Command", "GetFileName");
  c.checks.check(p->execute(), "execute returns true");
  p.reset();
  c.checks.equal(c.host.calls(), Calls{"version -> 2.4.1"}, "nothing called after that");
  c.checks.finish();
}

TEST(PluginBinding, HostWithOnlyVersionEntryPoint) {
  EXPECT_EXIT(host_with_only_version_entry_point(), ::testing::ExitedWithCode(0), "");
}

// The plug-in loaded with global scope into a host that lacks 176 of the 184 functions: the
// lookups of those find the plug-in's own variables, which must stay null rather than point
// at themselves.
void flat_namespace_full_host() {
  Child c({{}, true, {}});
  auto p = c.plugin.create();
  c.checks.check(p->initPlugin(), "initPlugin succeeds");
  c.expect_bound_exactly(called_except({}));
  for (const std::string &name : kwhost::all_entry_points())
    c.checks.check(c.plugin.variable(name) != c.plugin.variable_address(name),
                   name + " does not point at itself");
  c.answers.push({1, "/data/s01/list.txt"});
  c.host.set_text("Command", "GetTextFileName");
  c.checks.check(p->execute(), "execute returns true");
  c.checks.equal(c.host.find("Filename") ? c.host.find("Filename")->text : "", "/data/s01/list.txt",
                 "the chosen list file");
  p.reset();
  c.checks.equal(c.host.log(), Calls{"Running kelvarinwizard...", "kelvarinplugin finished!"},
                 "the log");
  c.checks.finish();
}

TEST(PluginBinding, FlatNamespace) {
  EXPECT_EXIT(flat_namespace_full_host(), ::testing::ExitedWithCode(0), "");
}

void host_without(const std::string &missing, bool global, kwhost::Version version,
                  bool want_ready, const Calls &want_init, const Calls &want_execute,
                  const Calls &want_destroy) {
  Child c({{missing}, global, version});
  auto p = c.plugin.create();
  c.checks.equal(p->initPlugin(), want_ready, "initPlugin");
  c.expect_bound_exactly(called_except({missing}));
  c.checks.equal(c.host.calls(), want_init, "initPlugin's calls");
  c.host.clear_record();
  // The host may use the object only after initPlugin accepted it.
  if (want_ready) {
    c.answers.push({1, "/data/s01/run-1.fmr"});
    c.host.set_text("Command", "GetFileName");
    c.checks.check(p->execute(), "execute returns true");
    c.checks.equal(c.host.calls(), want_execute, "execute's calls");
    c.host.clear_record();
  }
  p.reset();
  c.checks.equal(c.host.calls(), want_destroy, "the destructor's calls");
  c.checks.finish();
}

TEST(PluginBinding, HostWithoutOneCalledFunction) {
  const Calls init_ok = {"version -> 2.4.1", "log tab shown", "log \"Running kelvarinwizard...\""};
  const Calls asked = {"version -> 2.4.1"};
  const Calls bye = {"log \"kelvarinplugin finished!\""};
  const Calls none = {};
  const Calls command = {"get \"Command\" -> \"GetFileName\"", "get \"FileType\" -> \"\"",
                         "dialog \"Please select the source file\" \"\" \"\" -> 1 "
                         "\"/data/s01/run-1.fmr\"",
                         "set \"Filename\" = \"/data/s01/run-1.fmr\"", "set \"ErrorNr\" = 0"};
  const kwhost::Version recent{2, 4, 1}, old{2, 4, 0};
  for (bool global : {false, true}) {
    EXPECT_EXIT(host_without("ztLogText", global, recent, false, asked, none, none),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(host_without("ztShowLogTab", global, recent, false, asked, none, bye),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(host_without("ztMessageBox", global, old, false, {"version -> 2.4.0"}, none, bye),
                ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(host_without("ztMessageBox", global, recent, true, init_ok, command, bye),
                ::testing::ExitedWithCode(0), "");
    for (const char *missing : {"ztGetOpenFileName", "ztGetStringParameter",
                                "ztSetStringParameter", "ztSetIntParameter"})
      EXPECT_EXIT(host_without(missing, global, recent, true, init_ok, none, bye),
                  ::testing::ExitedWithCode(0), "")
          << missing;
  }
}

}  // namespace
