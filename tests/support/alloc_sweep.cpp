#include "alloc_sweep.h"

#include <gmock/gmock.h>

#include <cerrno>
#include <cstring>
#include <utility>

std::string perror_line(const std::string &label)
{
    return label + ": " + std::strerror(ENOMEM) + "\n";
}

namespace site_words {

namespace {
const std::string unknown = "<unknown>() error: ";
} // namespace

std::string record() { return unknown + "calloc-m.\n"; }
std::string record_rows() { return unknown + "malloc m->mtrx failed.\n"; }
std::string array_rows() { return perror_line("calloc-pointers") + unknown + "calloc mtrx failed.\n"; }
std::string array_row(std::size_t i)
{
    return perror_line("calloc-mtrx[i]") + unknown + "calloc-mtrx[" + std::to_string(i) + "] failed.\n";
}
std::string result_record() { return unknown + "calloc-result.\n"; }
std::string scratch() { return unknown + "virtual memory exhausted.\n"; }
std::string solution() { return unknown + "memory exhausted 'sol'.\n"; }
std::string parsed_row() { return perror_line("calloc-array"); }
std::string growth() { return perror_line("realloc(): virtual memory exhausted."); }
std::string rows_not_grown() { return unknown + "ptr realloc failed.\n"; }
std::string row_not_grown(std::size_t i)
{
    return unknown + "realloc failed row[" + std::to_string(i) + "].\n";
}

std::vector<std::string> array(std::size_t rows)
{
    std::vector<std::string> v = {array_rows()};
    for (std::size_t i = 0; i < rows; ++i)
        v.push_back(array_row(i));
    return v;
}

std::vector<std::string> preallocated_record(std::size_t rows)
{
    std::vector<std::string> v = array(rows);
    v.insert(v.begin(), record());
    return v;
}

} // namespace site_words

documented_messages::documented_messages(std::vector<std::string> messages)
    : messages_(std::move(messages)), met_(messages_.size(), false)
{
}

void documented_messages::said(const std::string &words)
{
    for (std::size_t i = 0; i < messages_.size(); ++i)
        if (words == messages_[i]) {
            met_[i] = true;
            return;
        }
    ADD_FAILURE() << "undocumented words: \"" << words << "\"; expected one of "
                  << testing::PrintToString(messages_);
}

void documented_messages::expect_all_met() const
{
    for (std::size_t i = 0; i < messages_.size(); ++i)
        EXPECT_TRUE(met_[i]) << "never said: \"" << messages_[i] << "\"";
}

void documented_messages::expect_met(const std::string &words) const
{
    for (std::size_t i = 0; i < messages_.size(); ++i)
        if (words == messages_[i]) {
            EXPECT_TRUE(met_[i]) << "never said: \"" << words << "\"";
            return;
        }
    ADD_FAILURE() << "not among the documented words: \"" << words << "\"";
}
