// A host whose executable exports all 184 host functions, under exactly the names of the
// plug-in's exported variables. The plug-in's own references to its variables must still
// bind to its variables: were they bound to the host's functions, the first store of the
// binding would write into the host's code. Each case runs in a fresh process.
#include "kw_test.h"
#include "plugin_support.h"

namespace {

using Calls = std::vector<std::string>;

void full_host(bool global) {
  kwhost::Host host;
  kwhost::QueuedAnswers answers;
  host.dialogs = &answers;
  host.activate();
  kwtest::Checks checks;
  kwtest::Plugin plugin;
  std::string error;
  if (!plugin.open(global, error)) {
    checks.check(false, error);
    checks.finish();
  }
  for (const std::string &name : kwhost::all_entry_points()) {
    void *host_function = kwtest::process_symbol(name);
    checks.check(host_function != nullptr, name + " is exported by the host");
    checks.check(plugin.variable_address(name) != host_function,
                 name + ": the plug-in's variable is its own");
  }
  auto p = plugin.create();
  checks.check(p->initPlugin(), "initPlugin succeeds");
  for (const std::string &name : kwhost::all_entry_points())
    checks.equal(plugin.variable(name), kwtest::process_symbol(name), name + " bound");
  answers.push({1, "/data/s01/target.fmr"});
  host.set_text("Command", "GetTargetFileName");
  checks.check(p->execute(), "execute returns true");
  const kwhost::Parameter *target = host.find("TargetFilename");
  checks.equal(target ? target->text : "", "/data/s01/target.fmr", "the chosen target");
  p.reset();
  checks.equal(host.log(), Calls{"Running kelvarinwizard...", "kelvarinplugin finished!"},
               "the log");
  checks.finish();
}

TEST(PluginInterposition, LocalScope) {
  EXPECT_EXIT(full_host(false), ::testing::ExitedWithCode(0), "");
}

TEST(PluginInterposition, GlobalScope) {
  EXPECT_EXIT(full_host(true), ::testing::ExitedWithCode(0), "");
}

}  // namespace
