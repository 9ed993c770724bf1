// Throughput of the pure text rules on generated sources, in bytes of the
// source file per second: reading lines (UTF-8 and Windows-1252), the
// decoders on their own, extraction, the exchange text, reading the
// translation back, the splice and the output bytes.
//
// QM_BENCH_MB sets the size of the generated source (default 8 MiB).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <string>

#include "bench/generate.h"
#include "text/encoding.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"

namespace {

using qm::bench::Charset;

std::size_t SourceBytes() {
  const char* value = std::getenv("QM_BENCH_MB");
  const double mb = value != nullptr ? std::strtod(value, nullptr) : 8.0;
  return static_cast<std::size_t>((mb > 0 ? mb : 8.0) * 1024 * 1024);
}

// One generated source per charset, with its translation, made once.
struct Input {
  std::string bytes;
  std::string translation;  // UTF-8
};

const Input& InputFor(Charset charset) {
  static std::map<Charset, Input> inputs;
  auto [at, added] = inputs.try_emplace(charset);
  if (added) {
    qm::bench::SourceOptions options;
    options.min_bytes = SourceBytes();
    options.charset = charset;
    at->second.bytes = qm::bench::GenerateSource(options);
    at->second.translation = qm::bench::TranslationFor(at->second.bytes);
  }
  return at->second;
}

void Processed(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bytes));
}

qm::SourceLines Extracted(const Input& input) {
  qm::SourceLines lines = qm::SourceLines::FromBytes(input.bytes);
  lines.Extract();
  return lines;
}

void ReadLines(benchmark::State& state, Charset charset) {
  const Input& input = InputFor(charset);
  for (auto _ : state) {
    qm::SourceLines lines = qm::SourceLines::FromBytes(input.bytes);
    benchmark::DoNotOptimize(lines.size());
  }
  Processed(state, input.bytes.size());
}
BENCHMARK_CAPTURE(ReadLines, utf8, Charset::Utf8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadLines, ascii, Charset::Ascii)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ReadLines, windows1252, Charset::Windows1252)->Unit(benchmark::kMillisecond);

void DetectEncoding(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  for (auto _ : state) benchmark::DoNotOptimize(qm::DetectEncoding(input.bytes));
  Processed(state, input.bytes.size());
}
BENCHMARK(DetectEncoding)->Unit(benchmark::kMillisecond);

void DecodeUtf8(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  for (auto _ : state) benchmark::DoNotOptimize(qm::DecodeUtf8(input.bytes).size());
  Processed(state, input.bytes.size());
}
BENCHMARK(DecodeUtf8)->Unit(benchmark::kMillisecond);

void DecodeWindows1252(benchmark::State& state) {
  const Input& input = InputFor(Charset::Windows1252);
  for (auto _ : state) benchmark::DoNotOptimize(qm::DecodeWindows1252(input.bytes).size());
  Processed(state, input.bytes.size());
}
BENCHMARK(DecodeWindows1252)->Unit(benchmark::kMillisecond);

void Extract(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  qm::SourceLines lines = qm::SourceLines::FromBytes(input.bytes);
  for (auto _ : state) benchmark::DoNotOptimize(lines.Extract());
  Processed(state, input.bytes.size());
}
BENCHMARK(Extract)->Unit(benchmark::kMillisecond);

void BuildExchangeText(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  const qm::SourceLines lines = Extracted(input);
  for (auto _ : state) benchmark::DoNotOptimize(qm::BuildExchangeText(lines).size());
  Processed(state, input.bytes.size());
}
BENCHMARK(BuildExchangeText)->Unit(benchmark::kMillisecond);

// Measured in bytes of the translation (as UTF-16), not of the source.
void SplitTranslatedText(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  for (auto _ : state) benchmark::DoNotOptimize(qm::SplitTranslatedText(input.translation).size());
  Processed(state, input.translation.size() * sizeof(char16_t));
}
BENCHMARK(SplitTranslatedText)->Unit(benchmark::kMillisecond);

void SpliceLines(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  const qm::SourceLines lines = Extracted(input);
  const qm::TranslatedLines translated = qm::SplitTranslatedText(input.translation);
  for (auto _ : state) {
    std::size_t units = 0;
    qm::SpliceLines(lines, translated, [&units](std::string_view text) {
      units += text.size();
      return true;
    });
    benchmark::DoNotOptimize(units);
  }
  Processed(state, input.bytes.size());
}
BENCHMARK(SpliceLines)->Unit(benchmark::kMillisecond);

void EncodeOutput(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  const qm::SourceLines lines = Extracted(input);
  const qm::TranslatedLines translated = qm::SplitTranslatedText(input.translation);
  for (auto _ : state) {
    std::size_t bytes = 0;
    qm::EncodeOutput(lines, translated, [&bytes](std::string_view chunk) {
      bytes += chunk.size();
      return true;
    });
    benchmark::DoNotOptimize(bytes);
  }
  Processed(state, input.bytes.size());
}
BENCHMARK(EncodeOutput)->Unit(benchmark::kMillisecond);

void OutputBytes(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  const qm::SourceLines lines = Extracted(input);
  const qm::TranslatedLines translated = qm::SplitTranslatedText(input.translation);
  for (auto _ : state) benchmark::DoNotOptimize(qm::OutputBytes(lines, translated).size());
  Processed(state, input.bytes.size());
}
BENCHMARK(OutputBytes)->Unit(benchmark::kMillisecond);

// Everything apply does in memory: read, extract, read back, splice, encode.
void WholeApply(benchmark::State& state) {
  const Input& input = InputFor(Charset::Utf8);
  for (auto _ : state) {
    const qm::SourceLines lines = Extracted(input);
    const std::string text = qm::MakeTranslationText(input.translation);
    std::size_t bytes = 0;
    qm::EncodeOutput(lines, qm::SplitTranslatedText(text), [&bytes](std::string_view chunk) {
      bytes += chunk.size();
      return true;
    });
    benchmark::DoNotOptimize(bytes);
  }
  Processed(state, input.bytes.size());
}
BENCHMARK(WholeApply)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
