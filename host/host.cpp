// The host simulator's core.
#include "host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>

namespace kwhost {

namespace {

Host *active_host = nullptr;

std::string text_or_empty(const char *text) { return text != nullptr ? text : ""; }

bool parse_int(const std::string &text, int &out) {
  if (text.empty() || text.size() > 9) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  out = value;
  return true;
}

}  // namespace

bool parse_version(const std::string &text, Version &out) {
  const std::size_t first = text.find('.');
  if (first == std::string::npos) return false;
  const std::size_t second = text.find('.', first + 1);
  if (second == std::string::npos) return false;
  Version v;
  if (!parse_int(text.substr(0, first), v.major) ||
      !parse_int(text.substr(first + 1, second - first - 1), v.minor) ||
      !parse_int(text.substr(second + 1), v.sub))
    return false;
  out = v;
  return true;
}

std::string quoted(const std::string &text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

DialogAnswer TerminalAnswers::answer(const std::string &title, const std::string &,
                                     const std::string &filter) {
  out_ << "Open file: " << title << "\n"
       << "  file types: " << filter << "\n";
  std::string line;
  const LineSource::Result read = lines_.read("  path (empty line cancels)> ", line);
  if (read == LineSource::TooLong)
    out_ << "  (a path longer than " << max_line_bytes << " bytes: cancelled)\n";
  if (read != LineSource::Line || line.empty()) return {};
  return {1, line};
}

DialogAnswer QueuedAnswers::answer(const std::string &title, const std::string &initial,
                                   const std::string &filter) {
  if (queue_.empty()) return fallback_ != nullptr ? fallback_->answer(title, initial, filter)
                                                  : DialogAnswer{};
  DialogAnswer next = std::move(queue_.front());
  queue_.pop_front();
  return next;
}

Host::~Host() {
  if (active_host == this) active_host = nullptr;
}

Host *Host::active() { return active_host; }
void Host::activate() { active_host = this; }

void Host::clear_record() {
  calls_.clear();
  log_.clear();
  message_boxes_.clear();
  log_tab_shown_ = false;
}

void Host::set_text(const std::string &name, const std::string &value) {
  Parameter &p = parameters_[name];
  p.kind = Parameter::Text;
  p.text = value;
  p.integer = 0;
}

void Host::set_integer(const std::string &name, int value) {
  Parameter &p = parameters_[name];
  p.kind = Parameter::Integer;
  p.text.clear();
  p.integer = value;
}

const Parameter *Host::find(const std::string &name) const {
  const auto it = parameters_.find(name);
  return it != parameters_.end() ? &it->second : nullptr;
}

void Host::record(const std::string &line) {
  calls_.push_back(line);
  if (trace != nullptr) *trace << "  " << line << "\n" << std::flush;
}

std::string Host::copy_out(const std::string &value, char *buffer, std::size_t size) const {
  if (buffer == nullptr) return "(no buffer)";
  const std::size_t room = fill_to_brim ? size : size - 1;
  const std::size_t n = value.size() < room ? value.size() : room;
  std::memcpy(buffer, value.data(), n);
  if (n < size) buffer[n] = '\0';
  std::string received = quoted(std::string(buffer, n));
  const std::string unterminated = n == size ? ", unterminated" : "";
  if (n < value.size())
    received += " (cut from " + std::to_string(value.size()) + " bytes to " + std::to_string(n) +
                unterminated + ")";
  else if (n == size)
    received += " (fills all " + std::to_string(size) + " bytes, unterminated)";
  return received;
}

void Host::get_version(int *major, int *minor, int *sub) {
  if (major != nullptr) *major = version.major;
  if (minor != nullptr) *minor = version.minor;
  if (sub != nullptr) *sub = version.sub;
  record("version -> " + std::to_string(version.major) + "." + std::to_string(version.minor) +
         "." + std::to_string(version.sub));
}

void Host::show_log_tab() {
  log_tab_shown_ = true;
  record("log tab shown");
}

void Host::log_text(const char *text) {
  log_.push_back(text_or_empty(text));
  record("log " + quoted(log_.back()));
}

void Host::message_box(const char *text) {
  message_boxes_.push_back(text_or_empty(text));
  record("message box " + quoted(message_boxes_.back()));
}

void Host::get_string_parameter(const char *name, char *value) {
  const std::string key = text_or_empty(name);
  std::string stored;
  if (const Parameter *p = find(key))
    stored = p->kind == Parameter::Text ? p->text : std::to_string(p->integer);
  record("get " + quoted(key) + " -> " + copy_out(stored, value, parameter_buffer_size));
}

void Host::set_string_parameter(const char *name, const char *value) {
  const std::string key = text_or_empty(name);
  set_text(key, text_or_empty(value));
  record("set " + quoted(key) + " = " + quoted(find(key)->text));
}

void Host::set_int_parameter(const char *name, int value) {
  const std::string key = text_or_empty(name);
  set_integer(key, value);
  record("set " + quoted(key) + " = " + std::to_string(value));
}

int Host::get_open_file_name(const char *title, const char *initial, const char *filter,
                             char *path) {
  const std::string t = text_or_empty(title), i = text_or_empty(initial),
                    f = text_or_empty(filter);
  const DialogAnswer a = dialogs != nullptr ? dialogs->answer(t, i, f) : DialogAnswer{};
  const std::string received = copy_out(a.path, path, path_buffer_size);
  record("dialog " + quoted(t) + " " + quoted(i) + " " + quoted(f) + " -> " +
         std::to_string(a.result) + " " + received);
  return a.result;
}

}  // namespace kwhost
