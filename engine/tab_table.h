// The data tables in resources/ (English descriptions, explain messages, format families):
// UTF-8 text, one row a line of tab-separated columns. Blank lines and lines that open with "#"
// are comments; a CR before the line end is dropped.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kindprobe {

// Calls `row` with the first N columns of every row that has them, the last one holding the
// rest of the line; rows with fewer columns are skipped.
template <size_t N, typename RowFunction>
void ForEachTableRow(std::string_view text, RowFunction&& row) {
  static_assert(N > 0);
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::array<std::string_view, N> columns;
    size_t column = 0;
    for (; column + 1 < N; ++column) {
      const size_t tab = line.find('\t');
      if (tab == std::string_view::npos) break;
      columns[column] = line.substr(0, tab);
      line.remove_prefix(tab + 1);
    }
    if (column + 1 < N) continue;
    columns[N - 1] = line;
    row(columns);
  }
}

}  // namespace kindprobe
