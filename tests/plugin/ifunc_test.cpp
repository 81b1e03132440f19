// A host whose executable exports the host functions through resolvers (STT_GNU_IFUNC): the
// lookup by name returns the resolved function, which carries no exported symbol of its own.
// Such a host still has these functions and must be bound like any other.
#include "kw_test.h"
#include "plugin_support.h"

namespace {

void version_impl(int *major, int *minor, int *sub) {
  kwhost::Host::active()->get_version(major, minor, sub);
}
void show_log_tab_impl() { kwhost::Host::active()->show_log_tab(); }
void log_text_impl(const char *text) { kwhost::Host::active()->log_text(text); }

}  // namespace

// The resolvers have external linkage and C names: Clang resolves an ifunc's target by its
// symbol name, which a static function inside extern "C" does not keep.
extern "C" {
using VersionFunction = void (*)(int *, int *, int *);
using ShowFunction = void (*)();
using LogFunction = void (*)(const char *);
VersionFunction resolve_version() { return version_impl; }
ShowFunction resolve_show_log_tab() { return show_log_tab_impl; }
LogFunction resolve_log_text() { return log_text_impl; }
void ztGetVersionOfThalorixZT(int *, int *, int *) __attribute__((ifunc("resolve_version")));
void ztShowLogTab() __attribute__((ifunc("resolve_show_log_tab")));
void ztLogText(const char *) __attribute__((ifunc("resolve_log_text")));
}

namespace {

TEST(PluginBinding, HostFunctionsThroughResolvers) {
  kwhost::Host host;
  host.activate();
  kwtest::Plugin plugin;
  std::string error;
  ASSERT_TRUE(plugin.open(false, error)) << error;
  ASSERT_TRUE(plugin.init_zt_access());
  EXPECT_EQ(plugin.variable("ztGetVersionOfThalorixZT"), reinterpret_cast<void *>(version_impl));
  EXPECT_EQ(plugin.variable("ztShowLogTab"), reinterpret_cast<void *>(show_log_tab_impl));
  EXPECT_EQ(plugin.variable("ztLogText"), reinterpret_cast<void *>(log_text_impl));
  for (const std::string &name : kwhost::all_entry_points()) {
    if (name != "ztGetVersionOfThalorixZT" && name != "ztShowLogTab" && name != "ztLogText") {
      EXPECT_EQ(plugin.variable(name), nullptr) << name;
    }
  }
  auto p = plugin.create();
  EXPECT_TRUE(p->initPlugin());
  p.reset();
  EXPECT_EQ(host.log(),
            (std::vector<std::string>{"Running kelvarinwizard...", "kelvarinplugin finished!"}));
}

}  // namespace
