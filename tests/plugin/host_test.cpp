// The host simulator's own pieces: version parsing, quoting, the buffer contract, scenarios.
#include "kw_test.h"
#include "plugin_support.h"

namespace {

TEST(HostVersion, Parse) {
  struct Case {
    const char *text;
    bool ok;
    int major, minor, sub;
  } cases[] = {{"2.4.1", true, 2, 4, 1},  {"10.0.12", true, 10, 0, 12}, {"2.4", false, 0, 0, 0},
               {"2.4.1.0", false, 0, 0, 0}, {"2..1", false, 0, 0, 0},    {"a.b.c", false, 0, 0, 0},
               {"-2.4.1", false, 0, 0, 0},  {"", false, 0, 0, 0}};
  for (const Case &c : cases) {
    kwhost::Version v{7, 7, 7};
    EXPECT_EQ(kwhost::parse_version(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v.major, c.major) << c.text;
      EXPECT_EQ(v.minor, c.minor) << c.text;
      EXPECT_EQ(v.sub, c.sub) << c.text;
    } else {
      EXPECT_EQ(v.major, 7) << "unchanged: " << c.text;
    }
  }
}

TEST(HostBuffers, CutOrFilledToTheBrim) {
  kwhost::Host host;
  kwhost::QueuedAnswers answers;
  host.dialogs = &answers;
  const std::string long_value(300, 'v');
  host.set_text("Long", long_value);
  // Each buffer sits in a larger block of sentinels, so a write past its end would show.
  constexpr std::size_t slack = 8;
  struct Case {
    const char *what;
    std::size_t size;
  } cases[] = {{"parameter", kwhost::parameter_buffer_size}, {"path", kwhost::path_buffer_size}};
  for (const Case &c : cases) {
    for (bool brim : {false, true}) {
      host.fill_to_brim = brim;
      std::vector<char> block(c.size + slack, '#');
      if (c.size == kwhost::parameter_buffer_size) {
        host.get_string_parameter("Long", block.data());
      } else {
        answers.push({1, long_value});
        EXPECT_EQ(host.get_open_file_name("t", "", "f", block.data()), 1);
      }
      const std::size_t written = brim ? c.size : c.size - 1;
      EXPECT_EQ(std::string(block.data(), written), long_value.substr(0, written))
          << c.what << " brim " << brim;
      if (!brim) {
        EXPECT_EQ(block[c.size - 1], '\0') << c.what;
      }
      EXPECT_EQ(std::string(block.data() + c.size, slack), std::string(slack, '#'))
          << "nothing past the " << c.what << " buffer, brim " << brim;
    }
  }
  // Absent parameters read as empty; integers as decimal text.
  char buffer[kwhost::parameter_buffer_size];
  host.set_integer("ErrorNr", -1);
  host.get_string_parameter("ErrorNr", buffer);
  EXPECT_STREQ(buffer, "-1");
  host.get_string_parameter("Absent", buffer);
  EXPECT_STREQ(buffer, "");
}

TEST(HostQuoting, EveryByteVisible) {
  EXPECT_EQ(kwhost::quoted(""), "\"\"");
  EXPECT_EQ(kwhost::quoted("a \"b\" \\c"), "\"a \\\"b\\\" \\\\c\"");
  EXPECT_EQ(kwhost::quoted(std::string("t\tn\n\x7f", 5)), "\"t\\x09n\\x0a\\x7f\"");
}

class CountingPlugin : public THZTPluginInterface {
 public:
  bool execute() override {
    commands.push_back(kwhost::Host::active()->find("Command")->text);
    return true;
  }
  bool initPlugin() override { return true; }
  std::vector<std::string> commands;
};

TEST(HostScenario, Steps) {
  kwhost::Host host;
  host.activate();
  kwhost::QueuedAnswers answers;
  std::ostringstream out;
  kwhost::Scenario scenario(host, answers, out, true);
  CountingPlugin plugin;
  std::string error;
  const char *good[] = {"# comment", "", "  \t# indented comment", "  \t", "filetype A b (*.c)",
                        "  set Name  two blanks",
                        "setint Count -12", "choose /x y", "cancel", "reply -3 /z",
                        "command GetFileName", "command", "show Name", "show Count", "show None",
                        "quit"};
  std::vector<kwhost::Scenario::Step> steps;
  for (const char *line : good) steps.push_back(scenario.run_line(line, plugin, error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(steps.back(), kwhost::Scenario::Quit);
  steps.pop_back();
  for (kwhost::Scenario::Step s : steps) EXPECT_EQ(s, kwhost::Scenario::Next);
  EXPECT_EQ(host.find("FileType")->text, "A b (*.c)");
  EXPECT_EQ(host.find("Name")->text, " two blanks");
  EXPECT_EQ(host.find("Count")->integer, -12);
  EXPECT_EQ(plugin.commands, (std::vector<std::string>{"GetFileName", ""}));
  ASSERT_EQ(answers.pending(), 3u);
  const kwhost::DialogAnswer a = answers.answer("", "", ""), b = answers.answer("", "", ""),
                             c = answers.answer("", "", ""), d = answers.answer("", "", "");
  EXPECT_EQ(a.result, 1);
  EXPECT_EQ(a.path, "/x y");
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(c.result, -3);
  EXPECT_EQ(c.path, "/z");
  EXPECT_EQ(d.result, 0) << "no answer left: cancelled";
  // This plug-in never calls the host, and the transcript says so.
  const std::string nothing =
      "execute returned true without calling the host: nothing was read, shown or written\n";
  EXPECT_EQ(out.str(),
            "> filetype A b (*.c)\n> set Name  two blanks\n> setint Count -12\n> choose /x y\n"
            "> cancel\n> reply -3 /z\n> command GetFileName\n" + nothing + "> command\n" +
                nothing + "> show Name\n  \"Name\" is \" two blanks\"\n"
            "> show Count\n  \"Count\" is -12\n> show None\n  \"None\" is not set\n");

  struct Bad {
    const char *line, *error;
  } bad[] = {{"bogus", "unknown keyword \"bogus\""},
             {"Command GetFileName", "unknown keyword \"Command\""},
             {"reply x /p", "reply needs an integer result, not \"x\""},
             {"reply 99999999999 /p", "reply needs an integer result, not \"99999999999\""},
             {"setint N 1.5", "setint needs an integer, not \"1.5\""},
             {"set", "set needs a parameter name"},
             {"choose", "choose needs a path (cancel stands for no file)"},
             {"choose ", "choose needs a path (cancel stands for no file)"},
             {"show", "show needs a parameter name"},
             {"  bogus x", "unknown keyword \"bogus\""}};
  for (const Bad &b : bad) {
    error.clear();
    EXPECT_EQ(scenario.run_line(b.line, plugin, error), kwhost::Scenario::Failed) << b.line;
    EXPECT_EQ(error, b.error);
  }
}

TEST(HostLines, BoundedStreamLines) {
  const std::string longest(kwhost::max_line_bytes, 'a');
  struct Case {
    const char *what;
    std::string input;
    std::vector<std::string> lines;  // then End, or TooLong when too_long
    bool too_long;
  } cases[] = {
      {"plain and CRLF", "one\ntwo\r\n\nlast", {"one", "two", "", "last"}, false},
      {"empty input", "", {}, false},
      {"longest step", longest + "\nnext\n", {longest, "next"}, false},
      {"one byte more", "ok\n" + longest + "b\nnever read\n", {"ok"}, true},
      {"no line ends", std::string(3 * kwhost::max_line_bytes, '\0'), {}, true},
  };
  for (const Case &c : cases) {
    std::istringstream in(c.input);
    std::ostringstream out;
    kwhost::StreamLines lines(in, out, false);
    std::string line;
    for (const std::string &want : c.lines) {
      ASSERT_EQ(lines.read("", line), kwhost::LineSource::Line) << c.what;
      EXPECT_EQ(line, want) << c.what;
    }
    const kwhost::LineSource::Result last =
        c.too_long ? kwhost::LineSource::TooLong : kwhost::LineSource::End;
    EXPECT_EQ(lines.read("", line), last) << c.what;
    EXPECT_EQ(lines.read("", line), last) << c.what << ": stays spent";
    EXPECT_EQ(lines.line_number(), c.lines.size() + (c.too_long ? 1 : 0)) << c.what;
    EXPECT_EQ(out.str(), "") << c.what;
  }
}

// Key presses as a terminal sends them, and the line they leave.
TEST(HostLines, EditingKeys) {
  const std::string left = "\x1b[D", right = "\x1b[C", home = "\x1b[H", end = "\x1bOF",
                    del = "\x1b[3~", up = "\x1b[A", down = "\x1b[B", backspace = "\x7f";
  struct Case {
    const char *what;
    std::string keys;
    std::string line;
    std::size_t cursor;
  } cases[] = {
      {"typed", "abc", "abc", 3},
      {"arrows move, never insert", "abd" + left + "c" + right + right + "e", "abcde", 5},
      {"insert at home, append at end", "bc" + home + "a" + end + "d", "abcd", 4},
      {"vt220 home and end", "bc\x1b[1~a\x1b[4~d", "abcd", 4},
      {"backspace and delete", "abcd" + left + left + backspace + del, "ad", 1},
      {"nothing left of the start", left + left + backspace + "x", "x", 1},
      {"control keys", "bc\x01" "a\x05" "d\x02\x02\x0b", "ab", 2},
      {"cut before the cursor", "abcd" + left + "\x15", "d", 0},
      {"unknown sequences and controls ignored", "a\x1b[15~\x1b[1;5C\x07\tb", "ab", 2},
      {"bytes above 0x7f kept", "\xc3\xa9", "\xc3\xa9", 2},
  };
  for (const Case &c : cases) {
    kwhost::LineEditor editor;
    editor.start("> ");
    std::string terminal;
    for (unsigned char byte : c.keys)
      ASSERT_EQ(editor.feed(byte, terminal), kwhost::LineEditor::Editing) << c.what;
    EXPECT_EQ(editor.line(), c.line) << c.what;
    EXPECT_EQ(editor.cursor(), c.cursor) << c.what;
    EXPECT_EQ(editor.feed('\r', terminal), kwhost::LineEditor::Entered) << c.what;
  }

  // History: Up recalls earlier lines, Down returns to what was being typed.
  kwhost::LineEditor editor;
  std::string terminal;
  for (const char *line : {"first", "second"}) {
    editor.start("> ");
    for (const char *k = line; *k != '\0'; k++) editor.feed(static_cast<unsigned char>(*k), terminal);
    editor.feed('\n', terminal);
  }
  editor.start("> ");
  auto keys = [&](const std::string &bytes) {
    for (unsigned char byte : bytes) editor.feed(byte, terminal);
    return editor.line();
  };
  EXPECT_EQ(keys("thi"), "thi");
  EXPECT_EQ(keys(up), "second");
  EXPECT_EQ(keys(up), "first");
  EXPECT_EQ(keys(up), "first");
  EXPECT_EQ(keys(down + down), "thi");
  EXPECT_EQ(keys(down), "thi");
  EXPECT_EQ(keys("\x10x"), "secondx");

  // Ctrl-D ends the input on an empty line, deletes under the cursor otherwise.
  editor.start("> ");
  EXPECT_EQ(keys("ab" + left + "\x04"), "a");
  terminal.clear();
  editor.start("> ");
  EXPECT_EQ(editor.feed(0x04, terminal), kwhost::LineEditor::EndOfInput);

  // The screen: the whole line redrawn after the prompt, the cursor moved back into place.
  editor.start("p> ");
  terminal.clear();
  keys("ab" + left);
  EXPECT_EQ(terminal, "\rp> a\x1b[K\rp> ab\x1b[K\rp> ab\x1b[K\x1b[1D");
}

}  // namespace
