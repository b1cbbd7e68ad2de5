#include "ui/app_source.h"

#include <mutex>
#include <optional>
#include <utility>

#include "core/app_cache.h"
#include "platform/win32_apps.h"
#include "platform/win32_files.h"
#include "platform/win32_handle.h"
#include "platform/win32_text.h"
#include "res/resource.h"
#include "ui/test_seams.h"

namespace quillgate {

// Between the dialog's thread and the reader's, which may outlive the dialog: the process may
// end while the shell still names an app.
struct AppSource::Delivery {
  std::mutex lock;
  HWND dialog = nullptr;
  UINT message = 0;
  std::optional<std::vector<AppEntry>> latest;  // the newest list, not yet collected
  bool fresh = false;                           // read from the Start menu as it is now
};

AppSource::AppSource(CComboBox& box, const CommandBoxView& history)
    : m_history(history),
      m_delivery(std::make_shared<Delivery>()),
      m_popup(
          box, seams::kAppListClass, ResourceText(IDS_APP_LIST), DT_END_ELLIPSIS,
          [this](std::size_t index) { return win32::Widen(m_apps.At(m_matches[index]).name); }) {}

AppSource::~AppSource() {
  const std::lock_guard<std::mutex> locked(m_delivery->lock);
  m_delivery->dialog = nullptr;  // a list that comes later goes nowhere
}

void AppSource::Attach(HWND dialog, UINT message) {
  const std::lock_guard<std::mutex> locked(m_delivery->lock);
  m_delivery->dialog = dialog;
  m_delivery->message = message;
}

void AppSource::Begin() {
  if (std::exchange(m_begun, true)) return;
  // Without a thread there are no apps this time; the launcher works as without them.
  m_known = !win32::StartThread([delivery = m_delivery] {
    const win32::ComApartment com;
    win32::FileSystem files;
    win32::AppCatalog catalog;
    seams::HeldByTest(seams::kHoldAppsEvent);
    const auto deliver = [&](const std::vector<AppEntry>& apps, bool fresh) {
      const std::lock_guard<std::mutex> locked(delivery->lock);
      delivery->latest = apps;
      delivery->fresh = fresh;
      if (delivery->dialog) PostMessageW(delivery->dialog, delivery->message, 0, 0);
    };
    try {
      LoadApps(files, catalog, deliver);
    } catch (const std::exception&) {  // out of memory: no apps this time, as without a thread,
      deliver({}, false);              // and a launch waiting for them goes on
    }
  });
}

void AppSource::Collect() {
  std::optional<std::vector<AppEntry>> latest;
  {
    const std::lock_guard<std::mutex> locked(m_delivery->lock);
    latest.swap(m_delivery->latest);
    m_fresh = m_delivery->fresh;
  }
  if (!latest) return;
  m_known = true;
  m_apps.Assign(std::move(*latest));
  m_ranked = false;
  Hide();  // its items were the old list's
  Show();
}

void AppSource::Typed(const std::wstring& text) {
  m_popup.SetTyped(text);
  Show();
}

void AppSource::Show() {
  const std::string typed = win32::Narrow(m_popup.Typed());
  m_matches.clear();
  // A stale list is never offered: an app it names may be gone, and its name would then fail.
  if (m_fresh && IsAppQuery(typed) && m_apps.Size()) {
    if (!m_ranked && m_history.Loaded()) {
      const HistoryLines& lines = m_history.Lines();
      m_apps.NoteHistory(lines.Count(), [&lines](std::size_t i) { return lines.Line(i); });
      m_ranked = true;
    }
    m_apps.Match(typed, m_matches);
  }
  // None under a message box.
  m_popup.Offer(m_matches.size(), m_delivery->dialog && IsWindowEnabled(m_delivery->dialog));
}

}  // namespace quillgate
