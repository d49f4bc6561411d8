#include "app/main_window.h"

namespace sarvoke {
namespace {

Control Make(const char* name, ControlKind kind, std::string_view parent, int left, int top, int width,
             int height, std::string_view text = {}) {
  Control c;
  c.name = name;
  c.kind = kind;
  c.parent = Text(parent);
  c.left = left;
  c.top = top;
  c.width = width;
  c.height = height;
  c.text = Text(text);
  return c;
}

using K = ControlKind;

}  // namespace

std::vector<Control> MainWindowControls() {
  std::vector<Control> v;
  const std::string_view top;  // the main window itself
  const std::string_view s = kSearchPage, b = kBoardPage;

  v.push_back(Make("广告条", K::Label, top, 0, 0, 608, 16));
  v.push_back(Make("滚动条", K::Label, top, 576, 0, 208, 16));
  Control tabs = Make("高级选择夹1", K::TabControl, top, 0, 16, 608, 392);
  tabs.items = {Text(kSearchPage), Text(kBoardPage), Text(kHelpPage), Text(kNotesPage)};
  tabs.selected = 0;
  v.push_back(tabs);
  Control links = Make("简单超文本框2", K::HtmlBox, top, 520, 416, 80, 16);
  links.links = {{"访问官网", Text(kPublisherSiteLink)}, {"空间", Text(kPublisherSpaceLink)}};
  links.text = "访问官网|空间";
  v.push_back(links);

  v.push_back(Make("标签1", K::Label, s, 8, 32, 96, 24, "欲搜索的文件名:"));
  v.push_back(Make("编辑框1", K::EditBox, s, 104, 32, 120, 24));
  v.push_back(Make("按钮1", K::Button, s, 232, 32, 48, 24, "搜索"));
  v.push_back(Make("标签6", K::Label, s, 288, 32, 64, 24, "屏蔽关键字:"));
  v.push_back(Make("编辑框2", K::EditBox, s, 352, 32, 104, 24, kDefaultBlockedWords));
  v.push_back(Make("标签2", K::Label, s, 464, 32, 48, 24, "每页显示"));
  Control sizes = Make("组合框1", K::ComboBox, s, 520, 32, 56, 20);
  sizes.items = {"10", "20", "50", "100"};
  v.push_back(sizes);
  v.push_back(Make("标签3", K::Label, s, 584, 32, 16, 24, "条"));
  Control list = Make("超级列表框1", K::ListView, s, 8, 64, 592, 288);
  list.columns = {{"文件名", 238}, {"文件大小", 60}, {"分享者", 120}, {"分享时间", 111}, {"下载次数", 58}};
  v.push_back(list);
  v.push_back(Make("按钮4", K::Button, s, 8, 360, 72, 24, "下载选中"));
  v.push_back(Make("按钮5", K::Button, s, 88, 360, 72, 24, "迅雷下载"));
  v.push_back(Make("按钮6", K::Button, s, 168, 360, 72, 24, "快车下载"));
  v.push_back(Make("按钮7", K::Button, s, 248, 360, 72, 24, "旋风下载"));
  v.push_back(Make("标签5", K::Label, s, 344, 360, 88, 24));
  v.push_back(Make("按钮3", K::Button, s, 448, 360, 64, 24, "上一页"));
  v.push_back(Make("按钮2", K::Button, s, 528, 360, 64, 24, "下一页"));
  Control tickerTimer = Make("广告时钟", K::Timer, s, 0, 0, 0, 0);
  tickerTimer.visible = false;
  v.push_back(tickerTimer);

  v.push_back(Make("Velmora留言系统超文本浏览框1", K::WebBrowser, b, 8, 24, 592, 288));
  v.push_back(Make("Velmora留言系统按钮14", K::Button, b, 16, 320, 40, 24, "刷新"));
  v.push_back(Make("Velmora留言系统标签21", K::Label, b, 176, 320, 72, 24));
  v.push_back(Make("Velmora留言系统按钮15", K::Button, b, 352, 320, 56, 24, "上一页"));
  v.push_back(Make("Velmora留言系统按钮16", K::Button, b, 416, 320, 56, 24, "下一页"));
  v.push_back(Make("Velmora留言系统编辑框16", K::EditBox, b, 504, 320, 40, 24));
  v.push_back(Make("Velmora留言系统按钮17", K::Button, b, 552, 320, 40, 24, "翻页"));
  v.push_back(Make("Velmora留言系统图片框1", K::PictureBox, b, 16, 352, 30, 30));
  Control qq = Make("Velmora留言系统组合框1", K::ComboBox, b, 48, 360, 112, 20);
  qq.items = {"不使用QQ登录"};
  v.push_back(qq);
  v.push_back(Make("Velmora留言系统标签19", K::Label, b, 16, 352, 56, 24, "输入昵称:"));
  v.push_back(Make("Velmora留言系统编辑框14", K::EditBox, b, 72, 352, 112, 24));
  v.push_back(Make("Velmora留言系统标签20", K::Label, b, 192, 352, 32, 24, "留言:"));
  v.push_back(Make("Velmora留言系统编辑框15", K::EditBox, b, 224, 352, 320, 24));
  v.push_back(Make("Velmora留言系统按钮13", K::Button, b, 552, 352, 40, 24, "提交"));
  Control gate = Make("Velmora留言系统时钟1", K::Timer, b, 0, 0, 0, 0);
  gate.visible = false;
  v.push_back(gate);

  v.push_back(Make("编辑框3", K::MultiLineEditBox, kHelpPage, 16, 40, 576, 328, HelpText()));
  v.push_back(Make("编辑框4", K::MultiLineEditBox, kNotesPage, 24, 48, 560, 328, ReleaseNotes()));
  return v;
}

std::vector<MenuEntry> ResultMenuEntries() {
  // The original items keep their places; the later ones follow them.
  return {{Text(kMenuDownloadSelected)}, {""}, {Text(kMenuThunder)},         {Text(kMenuFlashget)},
          {Text(kMenuXuanfeng)},         {""}, {Text(kMenuBrowseSharePage)}, {Text(kMenuOtherShares)},
          {""},                          {Text(kMenuAria2)},                 {Text(kMenuCopyDirectLink)},
          {Text(kMenuCopySharePage)},    {""},                               {Text(kMenuExportResults)}};
}

Text HelpText() {
  struct Line {
    const char* text;
    bool emptyLineBehind;
  };
  // One line of the help page per row, kept whole so that it reads as the page does.
  // clang-format off
  static const Line lines[] = {
      {"    Sarvoke工具是一款可以从百度网盘所有用户的共享文件中进行搜索的软件，帮您高效便捷的找出您想要下载的文件。", true},
      {"    文件搜索：只需在“欲搜索的文件名”处，输入您想要寻找的文件名(可以是音乐文件，视频文件，文本文件，压缩文件，也可以是您想要搜索的某个百度网盘用户的用户名)，之后点击“搜索”按钮，或按下回车键，即可搜索众多符合条件的文件。", true},
      {"    下载选中：下载选中的文件。", false},
      {"    迅雷下载：将下载地址转换为迅雷下载地址，并调用迅雷进行下载。", false},
      {"    快车下载：将下载地址转换为快车下载地址，并调用快车进行下载。", false},
      {"    旋风下载：将下载地址转换为旋风下载地址，并调用旋风进行下载。", true},
      {"    屏蔽关键字：在“屏蔽关键字”后方的编辑框中输入您想要屏蔽的字词，并按下空格键，接下来的搜索结果中就不会出现带有这些字词的文件。", true},
      {"    可疑文件标示：软件会自动对一个搜索页内3次以上文件大小都相同的文件，在其文件名前标识“【可疑文件】”，此方法并不会十分准确，还请下载完后使用杀毒软件检测后再运行。", true},
      {"    搜索该用户分享的其他文件：在第一次查找出现结果后，右键单击任一搜索结果，弹出菜单，选择“搜索该用户分享的其他文件”，软件会自动搜寻该用户分享过的其他文件。", true},
      {"    浏览分享页：在任意搜索找到结果后，右键单击任一搜索结果，弹出菜单，选择“浏览分享页”，软件会调用默认浏览器打开该文件的百度网盘文件分享地址(并非实际下载地址)。", true},
      {"    免责声明：Sarvoke工具是一款免费软件，请勿用于非法用途。本软件搜索结果均来自百度网页搜索，详请参照百度搜索免责声明。", false},
  };
  // clang-format on
  Text out;
  for (std::size_t i = 0; i < std::size(lines); ++i) {
    out += lines[i].text;
    if (i + 1 == std::size(lines)) break;
    out += "\r\n";
    if (lines[i].emptyLineBehind) out += "\r\n";
  }
  return out;
}

Text ReleaseNotes() {
  Text out = "Sarvoke工具v2.1版：\r\n\r\n";
  out +=
      "    "
      "*随百度搜索进行更新，此版本以后在搜索不到相关文件时，会自动访问官方页面获取最新正则，用户以后不必频繁"
      "更新软件了。";
  // The note's line end, then 22 empty lines, then the closing line.
  for (int i = 0; i < 23; ++i) out += "\r\n";
  out += "                                                            Sarvoke工作室  2013.04.20";
  return out;
}

}  // namespace sarvoke
