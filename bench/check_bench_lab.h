// The lab of the dead-share check's benchmarks: 100 shares that match the word "checkbench" (and
// "bench"), every share page answering after 200 ms, with the program's endpoints pointed at it.
//
//   auto lab = StartCheckBenchLab("/tmp/dir");   // null when a service could not start
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "lab_server.h"
#include "net/endpoints.h"

namespace sarvoke::bench {

inline constexpr int kCheckBenchRows = 100;
inline constexpr int kCheckBenchPageDelayMs = 200;

inline std::unique_ptr<lab::LabServer> StartCheckBenchLab(const std::string& dir) {
  lab::LabOptions options;
  options.catalogueFile = dir + "/catalogue.tsv";
  {
    std::ofstream out(options.catalogueFile);
    for (int i = 0; i < kCheckBenchRows; ++i)
      out << 8000 + i << "\t8100\tbench\tcheckbench_" << i << ".bin\t" << i + 1 << "M\t2013-05-01 10:00\t1\tstalled:"
          << kCheckBenchPageDelayMs << "\n";
  }
  auto lab = std::make_unique<lab::LabServer>(options);
  if (!lab->Start()) return nullptr;
  Endpoints e = DefaultEndpoints();
  e.searchEngineHost = lab->SearchEngineHost();
  e.publisherHost = lab->PublisherHost();
  e.shareSiteDomain = lab->ShareSiteDomain();
  SetCurrentEndpoints(e);
  return lab;
}

}  // namespace sarvoke::bench
