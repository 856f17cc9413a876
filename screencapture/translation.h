#pragma once

// The texts a person reads (a notification's summary, --help) in the user's language, through GNU
// gettext. Everything else the tool says stays English, above all its lines on stderr, and so does
// what the system and the libraries say: only these lookups see the user's locale.

// Marks a text for the catalogue where it is defined, to be translated where it is used.
#define N_(text) text

// `english` in the first of the user's languages (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG) that the
// catalogue has, as UTF-8; `english` itself where none has it.
const char* translated(const char* english);
