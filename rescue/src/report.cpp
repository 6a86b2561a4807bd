#include "report.h"

#include <cstdio>
#include <filesystem>

#include "calendo/json_text.h"

namespace calendo::rescue {
namespace {

std::string duration(uint64_t ms) {
  char text[32];
  const uint64_t s = ms / 1000;
  std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                static_cast<unsigned long long>(s / 60 % 60),
                static_cast<unsigned long long>(s % 60));
  return text;
}

std::string state(const RecoveredRecording& r) {
  std::string s = r.exact ? "as found" : "mended";
  if (r.header_rebuilt) s += ", header rebuilt";
  if (r.pages_lost > 0) s += ", " + std::to_string(r.pages_lost) + " pages silent";
  if (r.cut_short) s += ", cut short";
  if (r.fragments.size() > 1) s += ", " + std::to_string(r.fragments.size()) + " fragments";
  return s;
}

std::string number(uint64_t n) {
  return std::to_string(n);
}

}  // namespace

std::string report_table(const RescueReport& report) {
  std::string out;
  char line[512];
  std::snprintf(line, sizeof line, "%-32s %-6s %-14s %7s %9s  %s\n", "recording", "kind", "found",
                "pages", "time", "state");
  out += line;
  for (const RecoveredRecording& r : report.recordings) {
    const std::string name = std::filesystem::path(r.output).filename().string();
    std::snprintf(line, sizeof line, "%-32s %-6s %-14s %7u %9s  %s\n", name.c_str(),
                  r.container.c_str(), origin_name(r.origin), r.pages,
                  duration(r.duration_ms).c_str(), state(r).c_str());
    out += line;
    for (const JoinRecord& j : r.joins) {
      std::snprintf(line, sizeof line, "    join at file byte %llu: %zu candidates, %s\n",
                    static_cast<unsigned long long>(j.file_at), j.candidates.size(),
                    j.decision.c_str());
      out += line;
    }
    if (!r.note.empty()) out += "    " + r.note + "\n";
  }
  for (const std::string& p : report.problems) out += "problem: " + p + "\n";
  out += number(report.recordings.size()) + " recordings";
  if (report.stopped) out += " (stopped before the end)";
  return out + "\n";
}

std::string report_json(const RescueReport& report) {
  std::string out = "{\"recordings\": [";
  bool first = true;
  for (const RecoveredRecording& r : report.recordings) {
    out += first ? "\n  " : ",\n  ";
    first = false;
    out += "{\"output\": " + json_string(r.output) + ", \"source\": " + json_string(r.source) +
           ", \"container\": \"" + r.container + "\", \"found\": \"" + origin_name(r.origin) + "\"";
    if (!r.entry.empty()) out += ", \"entry\": " + json_string(r.entry);
    out += ", \"pages\": " + number(r.pages) + ", \"pages_lost\": " + number(r.pages_lost) +
           ", \"duration_ms\": " + number(r.duration_ms) +
           ", \"exact\": " + (r.exact ? "true" : "false") +
           ", \"header_rebuilt\": " + (r.header_rebuilt ? "true" : "false") +
           ", \"cut_short\": " + (r.cut_short ? "true" : "false") + ", \"fragments\": [";
    for (std::size_t i = 0; i < r.fragments.size(); ++i) {
      const Piece& p = r.fragments[i];
      out += (i ? ", " : "") + std::string("{\"offset\": ") + number(p.image_at) +
             ", \"file_offset\": " + number(p.file_at) + ", \"length\": " + number(p.length) + "}";
    }
    out += "], \"joins\": [";
    for (std::size_t i = 0; i < r.joins.size(); ++i) {
      const JoinRecord& j = r.joins[i];
      out += (i ? ", " : "") + std::string("{\"file_offset\": ") + number(j.file_at) +
             ", \"after\": " + number(j.after) + ", \"candidates\": [";
      for (std::size_t c = 0; c < j.candidates.size(); ++c) {
        char score[32];
        std::snprintf(score, sizeof score, "%.3f", c < j.roughness.size() ? j.roughness[c] : 0.0);
        out += (c ? ", " : "") + std::string("{\"offset\": ") + number(j.candidates[c]) +
               ", \"roughness\": " + score + "}";
      }
      out += "], \"chosen\": " + (j.chosen ? number(*j.chosen) : std::string("null")) +
             ", \"decision\": " + json_string(j.decision) + "}";
    }
    out += "]";
    if (!r.note.empty()) out += ", \"note\": " + json_string(r.note);
    out += "}";
  }
  out += "\n], \"problems\": [";
  for (std::size_t i = 0; i < report.problems.size(); ++i)
    out += (i ? ", " : "") + json_string(report.problems[i]);
  out += "], \"bytes_scanned\": " + number(report.scanned) +
         ", \"stopped\": " + (report.stopped ? "true" : "false") + "}\n";
  return out;
}

}  // namespace calendo::rescue
