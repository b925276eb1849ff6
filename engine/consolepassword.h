#pragma once

// A password typed at the console for a front end that says its own words: the caller prints what
// the password is for, the prompt and the echo (one "*" per character) go to standard error, and every
// character is taken whole, UTF-8 included; a line longer than the buffer is refused, never taken cut. The
// terminal is given back as it was, also when a signal ends the process at the prompt.
enum class ConsolePassword
{
    Typed,    // buffer holds the line, NUL-terminated
    Nothing,  // an empty line, or the input ended before Enter
    TooLong,  // longer than size - 1 bytes; buffer wiped
    NoConsole // standard input is no terminal
};
ConsolePassword ReadConsolePassword(char* buffer, int size);
