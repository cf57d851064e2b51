// serix-guide: the designer's guide (docs/guide.md) read through libcmark's document tree.
//   serix-guide GUIDE_MD --functions LIST [--session FILE] [--reg-dir DIR]
//               [--page FILE --version VERSION]
// --functions: the functions of FileMaker Pro 4 to 6 that the guide's calculations for those
// versions may use (docs/filemaker-pro-6-functions.txt);
// --session: the guide's examples as one acceptance session, line N the request made from
// line N of the guide, so that a mismatch names the guide's line; --reg-dir: each ```reg
// block as a REGEDIT4 file there; --page: the page that ships (guide_page.h). A fault in the
// guide is reported as GUIDE_MD:LINE: what, and nothing is written.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "guide_error.h"
#include "guide_examples.h"
#include "guide_page.h"
#include "guide_text.h"

namespace {

using serix::guide::GuideError;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whole or not at all: a failed run leaves no half file behind.
void WriteFile(const std::filesystem::path& path, const std::string& text) {
  const std::filesystem::path temporary = path.string() + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::filesystem::rename(temporary, path);
}

// Lines as a text editor numbers them: a last line without its line end counts.
int CountLines(std::string_view text) {
  int lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines + (!text.empty() && !text.ends_with('\n') ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Reads the designer's guide into its page, its examples' session and its .reg files");
  std::string guidePath;
  std::string functionsPath;
  std::string sessionPath;
  std::string regDir;
  std::string pagePath;
  std::string version;
  app.add_option("guide", guidePath, "The guide, Markdown")->required();
  app.add_option("--functions", functionsPath,
                 "The functions that calculations for FileMaker Pro 4 to 6 may use")
      ->required();
  app.add_option("--session", sessionPath, "Write the examples as an acceptance session");
  app.add_option("--reg-dir", regDir, "Write the .reg files into this folder");
  auto* page = app.add_option("--page", pagePath, "Write the guide's page");
  app.add_option("--version", version, "The release's version, for the page's title")->needs(page);
  page->needs(app.get_option("--version"));
  CLI11_PARSE(app, argc, argv);

  try {
    const std::string guide = ReadFile(guidePath);
    const auto functions = serix::guide::ReadFunctionList(ReadFile(functionsPath));
    const int lines = CountLines(guide);
    const serix::guide::NodePointer document(
        cmark_parse_document(guide.data(), guide.size(), CMARK_OPT_DEFAULT));
    const auto nodes = serix::guide::CollectNodes(document.get());
    const auto examples = serix::guide::ReadExamples(nodes.codeBlocks, lines, functions);
    const std::string pageText =
        pagePath.empty() ? "" : serix::guide::RenderPage(document.get(), nodes, examples, version);
    if (!sessionPath.empty()) WriteFile(sessionPath, serix::guide::SessionText(examples, lines));
    if (!regDir.empty()) {
      std::filesystem::create_directories(regDir);
      for (const auto& file : examples.regFiles)
        WriteFile(std::filesystem::path(regDir) / file.name, file.text);
    }
    if (!pagePath.empty()) WriteFile(pagePath, pageText);
  } catch (const GuideError& error) {
    std::cerr << guidePath << ':' << error.line() << ": " << error.what() << '\n';
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "serix-guide: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
