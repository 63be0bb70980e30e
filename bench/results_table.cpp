#include "bench/results_table.h"

#include <algorithm>
#include <cstdio>

ResultsTable::ResultsTable(std::vector<std::string> headings) : headings_(std::move(headings)) {}

void ResultsTable::Section(const std::string& title)
{
    lines_.push_back(Line{true, {title}});
}

void ResultsTable::Row(std::vector<std::string> cells)
{
    cells.resize(headings_.size());
    lines_.push_back(Line{false, std::move(cells)});
}

void ResultsTable::Print() const
{
    std::vector<size_t> widths;
    for (const std::string& heading : headings_) {
        widths.push_back(heading.size());
    }
    for (const Line& line : lines_) {
        if (line.section) {
            continue;
        }
        for (size_t column = 0; column < line.cells.size(); ++column) {
            widths[column] = std::max(widths[column], line.cells[column].size());
        }
    }
    auto print = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t column = 0; column < cells.size(); ++column) {
            std::string cell = cells[column];
            // Numbers line up on the right, names on the left.
            const bool left = column == 0 || column + 1 == cells.size();
            const std::string pad(widths[column] - cell.size(), ' ');
            text += left ? cell + pad : pad + cell;
            if (column + 1 < cells.size()) {
                text += "  ";
            }
        }
        while (!text.empty() && text.back() == ' ') {
            text.pop_back();
        }
        std::printf("%s\n", text.c_str());
    };
    print(headings_);
    std::vector<std::string> rule;
    for (size_t width : widths) {
        rule.push_back(std::string(width, '-'));
    }
    print(rule);
    for (const Line& line : lines_) {
        if (line.section) {
            std::printf("%s\n", line.cells[0].c_str());
        } else {
            print(line.cells);
        }
    }
    std::fflush(stdout);
}

std::string Micro(double microseconds)
{
    char text[32];
    if (microseconds >= 100) {
        std::snprintf(text, sizeof(text), "%.0f", microseconds);
    } else if (microseconds >= 10) {
        std::snprintf(text, sizeof(text), "%.1f", microseconds);
    } else if (microseconds >= 1) {
        std::snprintf(text, sizeof(text), "%.2f", microseconds);
    } else {
        std::snprintf(text, sizeof(text), "%.3f", microseconds);
    }
    return text;
}

std::string Fixed(double value, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}
