// serix-guide: the designer's guide (docs/guide.md) read through libcmark's document tree.
//   serix-guide GUIDE_MD [--session FILE] [--reg-dir DIR] [--page FILE --version VERSION]
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

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Whole or not at all: a failed run leaves no half file behind.
void write_file(const std::filesystem::path& path, const std::string& text) {
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
int count_lines(std::string_view text) {
  int lines = 0;
  for (const char c : text) lines += c == '\n' ? 1 : 0;
  return lines + (!text.empty() && !text.ends_with('\n') ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Reads the designer's guide into its page, its examples' session and its .reg files");
  std::string guide_path;
  std::string session_path;
  std::string reg_dir;
  std::string page_path;
  std::string version;
  app.add_option("guide", guide_path, "The guide, Markdown")->required();
  app.add_option("--session", session_path, "Write the examples as an acceptance session");
  app.add_option("--reg-dir", reg_dir, "Write the .reg files into this folder");
  auto* page = app.add_option("--page", page_path, "Write the guide's page");
  app.add_option("--version", version, "The release's version, for the page's title")->needs(page);
  page->needs(app.get_option("--version"));
  CLI11_PARSE(app, argc, argv);

  try {
    const std::string guide = read_file(guide_path);
    const int lines = count_lines(guide);
    const serix::guide::NodePointer document(
        cmark_parse_document(guide.data(), guide.size(), CMARK_OPT_DEFAULT));
    const auto examples = serix::guide::read_examples(document.get(), lines);
    const std::string page_text =
        page_path.empty() ? "" : serix::guide::render_page(document.get(), examples, version);
    if (!session_path.empty())
      write_file(session_path, serix::guide::session_text(examples, lines));
    if (!reg_dir.empty()) {
      std::filesystem::create_directories(reg_dir);
      for (const auto& file : examples.reg_files)
        write_file(std::filesystem::path(reg_dir) / file.name, file.text);
    }
    if (!page_path.empty()) write_file(page_path, page_text);
  } catch (const GuideError& error) {
    std::cerr << guide_path << ':' << error.line() << ": " << error.what() << '\n';
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "serix-guide: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
