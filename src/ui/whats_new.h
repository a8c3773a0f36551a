// The What's new window's text handling: change-log lines grouped into entries,
// and the inline markup the window does not render.
#pragma once
#include <string>
#include <vector>

// One entry per paragraph: an indented continuation line joins the entry above it.
// Empty entries stand for blank lines.
std::vector<std::string> buildWhatsNewEntries(const std::string& text);
// Drops backticks and "**", and keeps only the text of [text](target) links.
std::string stripInlineMarkup(const std::string& line);
