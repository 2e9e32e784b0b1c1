// Line tokenizer: splits a text line into words and the one-character
// separators "<", ">" and "="; "#" starts a comment.
#ifndef MORLA_TOKENIZE_H
#define MORLA_TOKENIZE_H

// Splits `line` into the slots, each `slot_len` bytes long (terminator
// included). On entry *count holds the number of slots M; on success it
// receives the number of tokens. Returns
//   0 success,
//   1 a separator at the start of the line or right after another separator,
//   2 the number of tokens reached M (so at most M - 1 are accepted);
// on 1 and 2 a message is written to the report stream and *count is left as
// it was. A word of slot_len - 1 or more characters is fatal.
int tokenize(const char *line, int *count, int slot_len, char **slots);

#endif
