// Line tokenizer: splits a text line into words and the one-character
// separators "<", ">" and "="; "#" starts a comment.
#ifndef MORLA_TOKENIZE_H
#define MORLA_TOKENIZE_H

// Result of tokenize for a word too long for its slot.
#define TOKEN_TOO_LONG 3

// Splits `line` into the slots, each `slot_len` bytes long (terminator
// included). On entry *count holds the number of slots M; on success it
// receives the number of tokens. Returns
//   0 success,
//   1 a separator at the start of the line or right after another separator,
//   2 the number of tokens reached M (so at most M - 1 are accepted),
//   3 a word of slot_len - 1 or more characters (so at most slot_len - 2 fit);
// on 1 and 2 a message is written to the report stream (marking the command
// refused); on 3 nothing is written, since only the caller can say which
// file and line it was. On 1 to 3 *count is left as it was. A carriage
// return right before the newline (or the end of the text) ends the line like
// the newline: files with CRLF line ends read as plain ones.
int tokenize(const char *line, int *count, int slot_len, char **slots);

#endif
