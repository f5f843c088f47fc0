// Marks a text that the viewer shows in the user's language. lupdate finds the marker by name and
// files the text under `scope` in the translation template; the code here stays free of Qt and
// keeps the English text, which the viewer looks up under the same scope when it shows it.
#pragma once

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
