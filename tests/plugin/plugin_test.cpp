// The plug-in, driven in-process by a host whose executable exports the eight host functions
// the plug-in calls. The binding is process-wide and the same for every test here; cases that
// need another host run in binding_test and interposition_test.
#include <algorithm>
#include <map>
#include <sstream>

#include "kw_test.h"
#include "plugin_support.h"

namespace {

using Calls = std::vector<std::string>;

const kwtest::Plugin &plugin() {
  static kwtest::Plugin p = [] {
    kwtest::Plugin opened;
    std::string error;
    if (!opened.open(false, error)) ADD_FAILURE() << error;
    return opened;
  }();
  return p;
}

const char refusal[] = "Can not execute this plugin - ThalorixZT version 2.4.1 or higher required.";

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(plugin().library.create_plugin, nullptr);
    host.dialogs = &answers;
    host.activate();
  }
  // A plug-in that initPlugin accepted, with the record of that cleared.
  std::unique_ptr<THZTPluginInterface> ready() {
    auto p = plugin().create();
    EXPECT_TRUE(p->initPlugin());
    host.clear_record();
    return p;
  }
  // Runs one command as the dialog script would and returns the host calls it made.
  Calls run(THZTPluginInterface &p, const std::string &command) {
    host.clear_record();
    host.set_text("Command", command);
    EXPECT_TRUE(p.execute());
    return host.calls();
  }
  kwhost::Host host;
  kwhost::QueuedAnswers answers;
};

TEST(PluginDescriptor, Texts) {
  const kwhost::PluginLibrary &lib = plugin().library;
  struct Case {
    const char *(*get)();
    const char *want;
  } cases[] = {
      {lib.get_plugin_name, "kelvarinwizard (v1.5)"},
      {lib.get_plugin_description, "Plugin to process multiple Thalorix files<br>"},
      {lib.get_help_file, ""},
      {lib.get_plugin_version, "1.5"},
      {lib.get_gui_script, "kelvarinwizard_v15.js"},
  };
  for (const Case &c : cases) {
    ASSERT_NE(c.get, nullptr) << c.want;
    ASSERT_NE(c.get(), nullptr) << c.want;
    EXPECT_STREQ(c.get(), c.want);
    EXPECT_EQ(c.get(), c.get()) << "texts are static: " << c.want;
  }
  ASSERT_NE(lib.get_author, nullptr);
  const std::string author = lib.get_author();
  const std::size_t close = author.find("</i>, ");
  EXPECT_EQ(author.rfind("<i>", 0), 0u) << author;
  ASSERT_NE(close, std::string::npos) << author;
  EXPECT_GT(close, 3u) << "an author name: " << author;
  EXPECT_GT(author.size(), close + 6) << "an organisation: " << author;
  // The description lives behind a file-level pointer that is not part of the interface.
  EXPECT_EQ(dlsym(lib.handle, "PluginDescription"), nullptr);
}

TEST(PluginVersion, Comparisons) {
  struct Case {
    int v[3], req[3];
    bool want;
  } cases[] = {
      {{2, 4, 1}, {2, 4, 1}, true},   {{2, 4, 0}, {2, 4, 1}, false},
      {{2, 3, 9}, {2, 4, 1}, false},  {{2, 5, 0}, {2, 4, 1}, true},
      {{3, 0, 0}, {2, 4, 1}, true},   {{1, 9, 9}, {2, 4, 1}, false},
      {{2, 4, 2}, {2, 4, 1}, true},   {{2, 3, 100}, {2, 4, 0}, false},
      {{10, 0, 0}, {9, 99, 99}, true}, {{0, 0, 0}, {0, 0, 0}, true},
      {{2, 10, 0}, {2, 9, 5}, true},  {{1, 99, 99}, {2, 0, 0}, false},
  };
  for (const Case &c : cases)
    EXPECT_EQ(plugin().check_version(c.v[0], c.v[1], c.v[2], c.req[0], c.req[1], c.req[2]), c.want)
        << c.v[0] << "." << c.v[1] << "." << c.v[2] << " against " << c.req[0] << "." << c.req[1]
        << "." << c.req[2];
}

TEST_F(PluginTest, CreatePluginGivesDistinctObjects) {
  auto a = plugin().create();
  auto b = plugin().create();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a.get(), b.get());
}

// The host reaches the object only through its virtual table, built from its own copy of the
// interface, so the slots are checked here without that copy: slots 0 and 1 hold the complete
// and the deleting destructor, slot 2 execute, slot 3 initPlugin.
TEST_F(PluginTest, VirtualSlotsInOrder) {
  THZTPluginInterface *object = plugin().library.create_plugin();
  ASSERT_NE(object, nullptr);
  void *const *slots = *reinterpret_cast<void *const *const *>(object);
  using Operation = bool (*)(THZTPluginInterface *);
  using Destroy = void (*)(THZTPluginInterface *);

  host.clear_record();
  EXPECT_TRUE(reinterpret_cast<Operation>(slots[3])(object)) << "slot 3 is initPlugin";
  EXPECT_EQ(host.calls(),
            (Calls{"version -> 2.4.1", "log tab shown", "log \"Running kelvarinwizard...\""}));
  host.clear_record();
  host.set_text("Command", "NoSuchCommand");
  EXPECT_TRUE(reinterpret_cast<Operation>(slots[2])(object)) << "slot 2 is execute";
  EXPECT_EQ(host.calls(), (Calls{"get \"Command\" -> \"NoSuchCommand\"", "get \"FileType\" -> \"\""}));
  host.clear_record();
  reinterpret_cast<Destroy>(slots[1])(object);  // destroys and releases the object
  EXPECT_EQ(host.calls(), Calls{"log \"kelvarinplugin finished!\""});
}

TEST_F(PluginTest, InitPluginByHostVersion) {
  const Calls accepted_tail = {"log tab shown", "log \"Running kelvarinwizard...\""};
  struct Case {
    kwhost::Version version;
    bool want;
  } cases[] = {{{2, 4, 0}, false}, {{2, 3, 9}, false}, {{1, 9, 9}, false}, {{0, 0, 0}, false},
               {{2, 4, 1}, true},  {{2, 4, 2}, true},  {{2, 5, 0}, true},  {{3, 0, 0}, true}};
  for (const Case &c : cases) {
    host.version = c.version;
    host.clear_record();
    auto p = plugin().create();
    const std::string label = std::to_string(c.version.major) + "." +
                              std::to_string(c.version.minor) + "." +
                              std::to_string(c.version.sub);
    EXPECT_EQ(p->initPlugin(), c.want) << label;
    Calls want = {"version -> " + label};
    if (c.want) {
      want.insert(want.end(), accepted_tail.begin(), accepted_tail.end());
      EXPECT_EQ(host.log(), Calls{"Running kelvarinwizard..."}) << label;
      EXPECT_TRUE(host.log_tab_shown()) << label;
      EXPECT_TRUE(host.message_boxes().empty()) << label;
    } else {
      want.push_back("message box " + kwhost::quoted(refusal));
      EXPECT_TRUE(host.log().empty()) << label;
      EXPECT_FALSE(host.log_tab_shown()) << label;
      EXPECT_EQ(host.message_boxes(), Calls{refusal}) << label;
    }
    EXPECT_EQ(host.calls(), want) << label;
  }
}

TEST_F(PluginTest, DestructorWritesClosingLine) {
  auto p = ready();
  p.reset();
  EXPECT_EQ(host.calls(), Calls{"log \"kelvarinplugin finished!\""});
  // Also after a refusal: the log is bound, so the object still says goodbye.
  host.version = {2, 4, 0};
  p = plugin().create();
  EXPECT_FALSE(p->initPlugin());
  host.clear_record();
  p.reset();
  EXPECT_EQ(host.calls(), Calls{"log \"kelvarinplugin finished!\""});
}

TEST_F(PluginTest, InitZTAccessTwiceGivesTheSameTable) {
  ASSERT_TRUE(plugin().init_zt_access());
  const std::vector<void *> first = plugin().table();
  ASSERT_TRUE(plugin().init_zt_access());
  EXPECT_EQ(plugin().table(), first);
  EXPECT_TRUE(host.calls().empty()) << "binding calls nothing";

  const std::vector<std::string> &names = kwhost::all_entry_points();
  ASSERT_EQ(names.size(), 184u);
  const std::vector<std::string> &called = kwhost::called_entry_points();
  for (std::size_t i = 0; i < names.size(); i++) {
    const bool ours = std::find(called.begin(), called.end(), names[i]) != called.end();
    ASSERT_NE(plugin().variable_address(names[i]), nullptr) << names[i] << " exported";
    if (ours) {
      EXPECT_EQ(first[i], kwtest::process_symbol(names[i])) << names[i];
      EXPECT_NE(first[i], nullptr) << names[i];
    } else {
      EXPECT_EQ(first[i], nullptr) << names[i] << ": this host lacks it";
    }
  }
}

TEST_F(PluginTest, CommandsShowTheirDialogs) {
  const std::string fmr = "Thalorix functional project (*.fmr)";
  const std::string txt = "Text file with source filenames (*.txt)";
  const std::string source = "Please select the source file";
  const std::string target =
      "Please select the intra-session alignment target file for this source file";
  const std::string list = "Please select the text file with source filenames";
  struct Case {
    std::string command, file_type, title, filter, result;
  } cases[] = {
      {"GetFileName", fmr, source, fmr, "Filename"},
      {"GetFileName", "", source, "", "Filename"},
      {"GetFileName", "Anatomical project (*.vmr)", source, "Anatomical project (*.vmr)",
       "Filename"},
      {"GetTargetFileName", "Anatomical project (*.vmr)", target, fmr, "TargetFilename"},
      {"GetTextFileName", fmr, list, txt, "Filename"},
  };
  auto p = ready();
  for (const Case &c : cases) {
    for (bool chosen : {true, false}) {
      const std::string label = c.command + (chosen ? " chosen" : " cancelled");
      host.clear_parameters();
      host.set_text("FileType", c.file_type);
      const std::string path = "/data/s01/" + c.command + ".file";
      answers.push(chosen ? kwhost::DialogAnswer{1, path} : kwhost::DialogAnswer{0, ""});
      Calls want = {"get \"Command\" -> " + kwhost::quoted(c.command),
                    "get \"FileType\" -> " + kwhost::quoted(c.file_type),
                    "dialog " + kwhost::quoted(c.title) + " \"\" " + kwhost::quoted(c.filter) +
                        " -> " + (chosen ? "1 " + kwhost::quoted(path) : "0 \"\"")};
      if (chosen) {
        want.push_back("set " + kwhost::quoted(c.result) + " = " + kwhost::quoted(path));
        want.push_back("set \"ErrorNr\" = 0");
      } else {
        want.push_back("set \"ErrorNr\" = -1");
        want.push_back("set \"ErrorMsg\" = \"No file selected\"");
      }
      EXPECT_EQ(run(*p, c.command), want) << label;
      // The other result parameter is never touched.
      const std::string other = c.result == "Filename" ? "TargetFilename" : "Filename";
      EXPECT_EQ(host.find(other), nullptr) << label;
      if (!chosen) {
        EXPECT_EQ(host.find(c.result), nullptr) << label;
      }
    }
  }
}

TEST_F(PluginTest, FailureKeepsEarlierValues) {
  auto p = ready();
  host.set_text("TargetFilename", "/data/s01/earlier-target.fmr");
  answers.push({0, ""});
  run(*p, "GetTargetFileName");
  EXPECT_EQ(host.find("TargetFilename")->text, "/data/s01/earlier-target.fmr");
  EXPECT_EQ(host.find("ErrorNr")->integer, -1);
  EXPECT_EQ(host.find("ErrorMsg")->text, "No file selected");

  // A later success writes its result and ErrorNr 0, and leaves the old ErrorMsg in place.
  answers.push({1, "/data/s01/run-2.fmr"});
  run(*p, "GetFileName");
  EXPECT_EQ(host.find("Filename")->text, "/data/s01/run-2.fmr");
  EXPECT_EQ(host.find("ErrorNr")->kind, kwhost::Parameter::Integer);
  EXPECT_EQ(host.find("ErrorNr")->integer, 0);
  EXPECT_EQ(host.find("ErrorMsg")->text, "No file selected");
}

TEST_F(PluginTest, DialogResultOtherThanOneMeansNoFile) {
  auto p = ready();
  for (int result : {0, 2, -1, 100, -2147483647 - 1}) {
    host.clear_parameters();
    answers.push({result, "/data/s01/looks-chosen.txt"});
    const Calls calls = run(*p, "GetTextFileName");
    ASSERT_EQ(calls.size(), 5u) << result;
    EXPECT_EQ(calls[3], "set \"ErrorNr\" = -1") << result;
    EXPECT_EQ(calls[4], "set \"ErrorMsg\" = \"No file selected\"") << result;
    EXPECT_EQ(host.find("Filename"), nullptr) << result;
  }
}

TEST_F(PluginTest, OtherCommandsWriteNothing) {
  auto p = ready();
  const char *commands[] = {"",           "getfilename", "GETTARGETFILENAME", "GetFileName ",
                            " GetFileName", "GetFile",   "GetTextFileNames",  "Quit"};
  for (const char *command : commands) {
    host.clear_parameters();
    host.set_text("Command", command);
    host.set_text("FileType", "Thalorix functional project (*.fmr)");
    host.set_text("Filename", "/data/kept.fmr");
    host.set_integer("ErrorNr", 7);
    const std::map<std::string, kwhost::Parameter> before = host.parameters();
    answers.push({1, "/data/never-asked.fmr"});
    host.clear_record();
    EXPECT_TRUE(p->execute()) << command;
    const Calls want = {"get \"Command\" -> " + kwhost::quoted(command),
                        "get \"FileType\" -> \"Thalorix functional project (*.fmr)\""};
    EXPECT_EQ(host.calls(), want) << command;
    ASSERT_EQ(host.parameters().size(), before.size()) << command;
    for (const auto &kv : before) {
      const kwhost::Parameter *now = host.find(kv.first);
      ASSERT_NE(now, nullptr) << command;
      EXPECT_EQ(now->kind, kv.second.kind) << command;
      EXPECT_EQ(now->text, kv.second.text) << command;
      EXPECT_EQ(now->integer, kv.second.integer) << command;
    }
    EXPECT_EQ(answers.pending(), 1u) << "no dialog for " << command;
    answers = kwhost::QueuedAnswers();
  }
}

TEST_F(PluginTest, LongValuesPassThroughWhole) {
  auto p = ready();
  std::string filter = "Project (*.fmr)";
  filter.insert(0, 99 - filter.size(), 'F');
  std::string path = "/data/";
  path += std::string(255 - path.size() - 4, 'p') + ".fmr";
  ASSERT_EQ(filter.size(), 99u);
  ASSERT_EQ(path.size(), 255u);
  host.set_text("FileType", filter);
  answers.push({1, path});
  const Calls calls = run(*p, "GetFileName");
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[2], "dialog \"Please select the source file\" \"\" " + kwhost::quoted(filter) +
                          " -> 1 " + kwhost::quoted(path));
  EXPECT_EQ(host.find("Filename")->text, path);
}

// A host that fills a buffer to the brim leaves no terminator; the plug-in cuts the value at
// the buffer's last byte instead of reading past it.
TEST_F(PluginTest, BrimFullValuesAreCutAtTheLastByte) {
  auto p = ready();
  host.fill_to_brim = true;
  const std::string filter(150, 'F');
  const std::string path = "/data/" + std::string(400, 'q');
  host.set_text("FileType", filter);
  answers.push({1, path});
  const Calls calls = run(*p, "GetFileName");
  ASSERT_EQ(calls.size(), 5u);
  // The host wrote 100 and 256 bytes without a terminator ...
  EXPECT_EQ(calls[1], "get \"FileType\" -> " + kwhost::quoted(filter.substr(0, 100)) +
                          " (cut from 150 bytes to 100, unterminated)");
  // ... and the plug-in passed on 99 and 255 of them.
  EXPECT_EQ(calls[2], "dialog \"Please select the source file\" \"\" " +
                          kwhost::quoted(filter.substr(0, 99)) + " -> 1 " +
                          kwhost::quoted(path.substr(0, 256)) +
                          " (cut from 406 bytes to 256, unterminated)");
  EXPECT_EQ(host.find("Filename")->text, path.substr(0, 255));

  // A command filling its buffer is cut too, and then matches nothing.
  std::string command = "GetTextFileName";
  command.resize(100, 'x');
  EXPECT_EQ(run(*p, command).size(), 2u);
}

TEST_F(PluginTest, TerminalAnswersFromPipedInput) {
  auto p = ready();
  std::istringstream typed("/data/typed/run-1.fmr\n\n/data/typed/list.txt\r\n");
  std::ostringstream shown;
  kwhost::StreamLines lines(typed, shown, true);
  kwhost::TerminalAnswers terminal(lines, shown);
  kwhost::QueuedAnswers queue(&terminal);
  host.dialogs = &queue;
  host.set_text("FileType", "Thalorix functional project (*.fmr)");

  run(*p, "GetFileName");
  EXPECT_EQ(host.find("Filename")->text, "/data/typed/run-1.fmr");
  EXPECT_EQ(host.find("ErrorNr")->integer, 0);
  run(*p, "GetTargetFileName");  // the empty line cancels
  EXPECT_EQ(host.find("ErrorNr")->integer, -1);
  EXPECT_EQ(host.find("TargetFilename"), nullptr);
  run(*p, "GetTextFileName");
  EXPECT_EQ(host.find("Filename")->text, "/data/typed/list.txt");
  run(*p, "GetFileName");  // the end of input cancels
  EXPECT_EQ(host.find("ErrorNr")->integer, -1);
  EXPECT_EQ(host.find("Filename")->text, "/data/typed/list.txt");

  EXPECT_EQ(shown.str(),
            "Open file: Please select the source file\n"
            "  file types: Thalorix functional project (*.fmr)\n"
            "  path (empty line cancels)> /data/typed/run-1.fmr\n"
            "Open file: Please select the intra-session alignment target file for this source "
            "file\n"
            "  file types: Thalorix functional project (*.fmr)\n"
            "  path (empty line cancels)> \n"
            "Open file: Please select the text file with source filenames\n"
            "  file types: Text file with source filenames (*.txt)\n"
            "  path (empty line cancels)> /data/typed/list.txt\n"
            "Open file: Please select the source file\n"
            "  file types: Thalorix functional project (*.fmr)\n"
            "  path (empty line cancels)> \n");
}

}  // namespace
