#include "share/liveness_check.h"

#include <vector>

#include "platform/url_opener.h"
#include "share/direct_link.h"

namespace sarvoke {
namespace {

constexpr std::string_view kResultList = "超级列表框1";
// The agent the download actions fetch a share page with (ReadUrl's), so that the site shows the check
// the page it shows them.
constexpr std::string_view kSharePageAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

std::mutex limitsMutex;
HttpBatchOptions limits;

void MarkEnded(RowCheck& check) {
  {
    std::lock_guard lock(check.mutex);
    check.ended = true;
  }
  check.endedSignal.notify_all();
}

}  // namespace

RowMark MarkOfSharePageAnswer(const HttpBatchAnswer& answer) {
  if (!answer.answered) return RowMark::Unknown;
  if (answer.status == 404 || answer.status == 410) return RowMark::Dead;
  if (answer.status < 200 || answer.status > 299) return RowMark::Unknown;
  const Text link = DirectLinkInPage(TextFromBytes(answer.body));
  return !link.empty() && IsHandedOverAddress(link) ? RowMark::Alive : RowMark::Dead;
}

std::string_view RowMarkName(RowMark mark) {
  switch (mark) {
    case RowMark::Alive:
      return "alive";
    case RowMark::Dead:
      return "dead";
    case RowMark::Unknown:
      return "unknown";
    case RowMark::None:
      break;
  }
  return "";
}

HttpBatchOptions CurrentRowCheckLimits() {
  std::lock_guard lock(limitsMutex);
  return limits;
}

void SetRowCheckLimits(const HttpBatchOptions& next) {
  std::lock_guard lock(limitsMutex);
  limits = next;
}

void CancelRowCheck(App& app) {
  if (app.search.rowCheck) app.search.rowCheck->cancelled = true;
}

void StartRowCheck(App& app) {
  CancelRowCheck(app);
  if (!app.search.checkRows) return;
  WindowModel& w = app.window;
  const Text list(kResultList);
  // Read on the GUI thread, with the rows: the worker touches neither the search state nor the records.
  const unsigned generation = w.RowsGeneration(list);
  std::vector<HttpBatchRequest> requests;
  std::vector<int> rows;
  const int count = w.RowCount(list);
  for (int row = 0; row < count; ++row) {
    if (!HasRecordAt(app, row)) continue;
    HttpBatchRequest r;
    r.url = ShareUrlOfRow(app, row);
    r.agent = Text(kSharePageAgent);
    requests.push_back(std::move(r));
    rows.push_back(row);
  }
  if (requests.empty()) return;
  auto check = std::make_shared<RowCheck>();
  app.search.rowCheck = check;
  const std::shared_ptr<App> shared = app.weak_from_this().lock();
  const HttpBatchOptions options = CurrentRowCheckLimits();
  auto routine = [check, requests = std::move(requests), rows = std::move(rows), generation,
                  options](App& a) {
    const Text name(kResultList);
    // A refilled list stops the check as a cancel does, whoever refilled it.
    auto stop = [&] {
      return check->cancelled || a.exiting || a.window.RowsGeneration(name) != generation;
    };
    RunHttpBatch(requests, options, stop, [&](std::size_t i, const HttpBatchAnswer& answer) {
      if (!stop()) a.window.MarkRow(name, rows[i], MarkOfSharePageAnswer(answer), generation);
    });
    MarkEnded(*check);
  };
  if (!shared || !StartWorker(shared, std::move(routine))) MarkEnded(*check);
}

bool WaitForRowCheck(App& app, int timeoutMs) {
  const std::shared_ptr<RowCheck> check = app.search.rowCheck;
  if (!check) return true;
  std::unique_lock lock(check->mutex);
  return check->endedSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return check->ended; });
}

}  // namespace sarvoke
