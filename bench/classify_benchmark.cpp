// classify_line, nanoseconds per line, over fixed sets of lines. Each iteration
// classifies one line, so the time per iteration is the time per line.
//
//   keyword_lines: short lines holding a keyword, found early or late in the table;
//   long_lines:    99-byte lines (the longest an input line gets) holding no
//                  keyword: every keyword is tried over the whole line, the worst case;
//   mix:           the two sets together, one line of each in turn.
//
// The plain scan (every keyword tried in turn) is measured beside it, as the
// reference the quick classifier has to agree with.
#include <benchmark/benchmark.h>

#include <iterator>
#include <span>
#include <vector>

#include "console/cp932.h"
#include "engine/keywords.h"

namespace {

constexpr const char* keyword_lines[] = {
    "こんにちは"_sj, "え？マジ？"_sj, "わかりません"_sj, "死ねばいいのに"_sj, "知らね"_sj, "ありがた迷惑"_sj,
    "鬼瓦様"_sj, "メリークリスマス！"_sj, "痛い"_sj, "帰ります"_sj, "すごーい"_sj, "ばいばい"_sj,
};

// 49 double-byte characters and one ASCII byte, or 99 ASCII bytes. The kana lines
// keep starting partial matches ("か", "う", "しら" begin keywords) that then fail.
constexpr const char* long_lines[] = {
    "そうかのうそうかのうそうかのうそうかのうそうかのうそうかのうそうかのうそうかのうそうかのうそうかの."_sj,
    "しらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらしらし."_sj,
    "今日は城の庭で茶を点てて月を見ておった。明日は山を越えて隣の国まで馬で行くつもりじゃが、雨が降らね."_sj,
    "The lord looks out at the castle garden, where the moon is bright, and the tea is ready for guests."_sj,
};

std::vector<const char*> mixed()
{
    std::vector<const char*> lines;
    for (std::size_t i = 0; i < std::size(keyword_lines); ++i) {
        lines.push_back(keyword_lines[i]);
        lines.push_back(long_lines[i % std::size(long_lines)]);
    }
    return lines;
}

using classifier = int (*)(const char*);

void classify(benchmark::State& state, std::span<const char* const> lines, classifier classify_line)
{
    for (const char* line : long_lines) {
        if (classify_line(line) != no_keyword) {
            state.SkipWithError("a line meant to hold no keyword holds one");
            return;
        }
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(classify_line(lines[next]));
        next = next + 1 == lines.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}

template <classifier how>
void keyword_lines_(benchmark::State& state) { classify(state, keyword_lines, how); }
template <classifier how>
void long_lines_(benchmark::State& state) { classify(state, long_lines, how); }
template <classifier how>
void mix_(benchmark::State& state) { classify(state, mixed(), how); }

} // namespace

BENCHMARK(keyword_lines_<classify_line>)->Name("classify_line/keyword_lines");
BENCHMARK(long_lines_<classify_line>)->Name("classify_line/long_lines");
BENCHMARK(mix_<classify_line>)->Name("classify_line/mix");
BENCHMARK(keyword_lines_<classify_line_by_plain_scan>)->Name("plain_scan/keyword_lines");
BENCHMARK(long_lines_<classify_line_by_plain_scan>)->Name("plain_scan/long_lines");
BENCHMARK(mix_<classify_line_by_plain_scan>)->Name("plain_scan/mix");

BENCHMARK_MAIN();
