// The host simulator's core: the state a plug-in sees through the host functions.
//
// One Host is active at a time; the exported zt functions (entry_points.cpp) forward to it.
// It keeps the named-parameter store, the log, the message boxes shown, and a record of every
// call the plug-in made, one line per call, in order (also written to a trace stream as it
// happens). Open-file dialogs are answered by a DialogSource: queued answers (a scenario) or a
// prompt on a terminal.
//
// Buffer contract with plug-ins: ztGetStringParameter writes into 100 bytes and
// ztGetOpenFileName into 256 bytes, terminator included. Longer values are cut to 99 or 255
// bytes and terminated; with fill_to_brim the host instead writes up to the whole buffer and
// omits the terminator when the value fills it (a host a plug-in must defend itself against).
// The record marks every value that was cut or left unterminated.
//
// Thread rule: single-threaded, like the host it imitates.
#ifndef KELVARIN_HOST_HOST_H
#define KELVARIN_HOST_HOST_H

#include <cstddef>
#include <deque>
#include <iosfwd>
#include <map>
#include <string>
#include <vector>

#include "lines.h"

namespace kwhost {

constexpr std::size_t parameter_buffer_size = 100;
constexpr std::size_t path_buffer_size = 256;

struct Version {
  int major = 2;
  int minor = 4;
  int sub = 1;
};
// "X.Y.Z" with three decimal integers; false (out unchanged) otherwise.
bool parse_version(const std::string &text, Version &out);

// The text in double quotes, with '"', '\\' and control bytes escaped, so that every byte a
// plug-in passed is visible in a transcript.
std::string quoted(const std::string &text);

struct DialogAnswer {
  int result = 0;    // 1: a file was chosen
  std::string path;  // written to the plug-in's buffer whatever the result
};

class DialogSource {
 public:
  virtual ~DialogSource() = default;
  virtual DialogAnswer answer(const std::string &title, const std::string &initial,
                              const std::string &filter) = 0;
};

// Answers typed in: shows the title and filter, reads one line; a non-empty line is the chosen
// path, an empty line or the end of input cancels, and so does a line too long to be a path.
class TerminalAnswers : public DialogSource {
 public:
  TerminalAnswers(LineSource &lines, std::ostream &out) : lines_(lines), out_(out) {}
  DialogAnswer answer(const std::string &title, const std::string &initial,
                      const std::string &filter) override;

 private:
  LineSource &lines_;
  std::ostream &out_;
};

// Answers given in advance, used in order; when none is left, the fallback answers, or, without
// one, the dialog is cancelled.
class QueuedAnswers : public DialogSource {
 public:
  explicit QueuedAnswers(DialogSource *fallback = nullptr) : fallback_(fallback) {}
  void push(DialogAnswer answer) { queue_.push_back(std::move(answer)); }
  std::size_t pending() const { return queue_.size(); }
  DialogAnswer answer(const std::string &title, const std::string &initial,
                      const std::string &filter) override;

 private:
  std::deque<DialogAnswer> queue_;
  DialogSource *fallback_;
};

struct Parameter {
  enum Kind { Text, Integer } kind = Text;
  std::string text;
  int integer = 0;
};

class Host {
 public:
  Host() = default;
  ~Host();
  Host(const Host &) = delete;
  Host &operator=(const Host &) = delete;

  // The host the exported functions forward to; null when none is active.
  static Host *active();
  void activate();

  Version version;
  bool fill_to_brim = false;
  DialogSource *dialogs = nullptr;  // null: every dialog is cancelled
  std::ostream *trace = nullptr;    // each call, indented, as it happens

  // What the plug-in did.
  const std::vector<std::string> &calls() const { return calls_; }
  const std::vector<std::string> &log() const { return log_; }
  const std::vector<std::string> &message_boxes() const { return message_boxes_; }
  bool log_tab_shown() const { return log_tab_shown_; }
  void clear_record();

  // The parameter store as the dialog script sees it.
  void set_text(const std::string &name, const std::string &value);
  void set_integer(const std::string &name, int value);
  const Parameter *find(const std::string &name) const;
  const std::map<std::string, Parameter> &parameters() const { return parameters_; }
  void clear_parameters() { parameters_.clear(); }

  // The host functions, as the exported zt functions call them. Null texts count as "".
  void get_version(int *major, int *minor, int *sub);
  void show_log_tab();
  void log_text(const char *text);
  void message_box(const char *text);
  void get_string_parameter(const char *name, char *value);
  void set_string_parameter(const char *name, const char *value);
  void set_int_parameter(const char *name, int value);
  int get_open_file_name(const char *title, const char *initial, const char *filter, char *path);

 private:
  void record(const std::string &line);
  // Copies value into a plug-in buffer of size bytes under the buffer contract above; returns
  // the bytes as the plug-in received them, quoted for the record, and marked when the value
  // was cut or left unterminated.
  std::string copy_out(const std::string &value, char *buffer, std::size_t size) const;

  std::vector<std::string> calls_, log_, message_boxes_;
  bool log_tab_shown_ = false;
  std::map<std::string, Parameter> parameters_;
};

}  // namespace kwhost

#endif  // KELVARIN_HOST_HOST_H
