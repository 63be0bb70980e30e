#ifndef TRIVELD_BENCH_RESULTS_TABLE_H
#define TRIVELD_BENCH_RESULTS_TABLE_H

#include <string>
#include <vector>

// The one table the benchmark prints: section headings and rows of cells,
// columns padded to their widest cell.
class ResultsTable {
public:
    explicit ResultsTable(std::vector<std::string> headings);

    void Section(const std::string& title);
    void Row(std::vector<std::string> cells);
    void Print() const;

private:
    std::vector<std::string> headings_;
    // A row with one cell and `section` set is a heading.
    struct Line {
        bool section;
        std::vector<std::string> cells;
    };
    std::vector<Line> lines_;
};

// Microseconds with three significant figures or more ("0.0412", "18.3", "1204").
std::string Micro(double microseconds);
std::string Fixed(double value, int decimals);

#endif
