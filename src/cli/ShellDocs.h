#pragma once

#include <QString>

namespace tagsifter {

/// What is made from the option table at build time: the options of the manual page and the
/// completions of bash, zsh and fish.
namespace ShellDocs {

/// The options of `command` (ForWindow, ForFind or ForTags) as the manual page's .TP entries.
QString manualOptions(unsigned command);
/// `page` with its lines "@WINDOW_OPTIONS@", "@FIND_OPTIONS@" and "@TAGS_OPTIONS@" replaced by
/// the options of each.
QString manualPage(const QString& page);
/// The bash completion (share/bash-completion/completions/tagsifter).
QString bashCompletion();
/// The zsh completion (share/zsh/vendor-completions/_tagsifter).
QString zshCompletion();
/// The fish completion (share/fish/vendor_completions.d/tagsifter.fish).
QString fishCompletion();

} // namespace ShellDocs

} // namespace tagsifter
