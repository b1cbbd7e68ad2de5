// combo_host.exe: a dialog around the real command box and Browse, for the GUI tests.
// Every command-line argument becomes one list item, in order (a test host may read its
// command line; the launcher does not). When the dialog closes, the host writes
// "result=<DoModal result>" and "text=<final box text>" lines to standard output.
#include <windows.h>

#include <string>
#include <vector>

#include "combo_host_resource.h"
#include "platform/framework.h"
#include "ui/browse.h"
#include "ui/combo_completion.h"

namespace quillgate {
namespace {

std::vector<std::string> ItemsFromCommandLine() {
  std::vector<std::string> items;
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  for (int i = 1; argv && i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_ACP, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string item(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, argv[i], -1, item.data(), size, nullptr, nullptr);
    item.resize(item.size() - 1);
    items.push_back(item);
  }
  if (argv) LocalFree(argv);
  return items;
}

void WriteOut(const std::string& text) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

class CComboHostDlg : public CDialog {
 public:
  explicit CComboHostDlg(std::vector<std::string> items)
      : CDialog(IDD_COMBO_HOST), m_items(std::move(items)) {}

  std::string m_finalText;

 protected:
  void DoDataExchange() override { DDX_Control(m_hWnd, IDC_COMBO, m_command); }

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    for (const std::string& item : m_items) m_command.AddString(item.c_str());
    return TRUE;
  }

  bool OnControlCommand(UINT id, UINT code) override {
    if (id != IDC_BROWSE || code != BN_CLICKED) return false;
    AppendBrowsedPath(m_command);
    return true;
  }

  void OnOK() override {
    m_finalText = m_command.GetWindowText();
    CDialog::OnOK();
  }

  void OnCancel() override {
    m_finalText = m_command.GetWindowText();
    CDialog::OnCancel();
  }

 private:
  std::vector<std::string> m_items;
  CComboCompletion m_command;
};

class CComboHostApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    CComboHostDlg dialog(ItemsFromCommandLine());
    m_pMainWnd = &dialog;
    const INT_PTR result = dialog.DoModal();
    m_pMainWnd = nullptr;
    WriteOut("result=" + std::to_string(result) + "\ntext=" + dialog.m_finalText + "\n");
    return FALSE;
  }
};

CComboHostApp theApp;

}  // namespace
}  // namespace quillgate

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return quillgate::AfxWinMain(instance);
}
