/* The yardstick of the start-up benchmark: about the smallest C program that does
 * the I/O of a short session of onigawara, with the same texts in code page 932:
 * title and name request, a greeting, then prompt, line and reply until the
 * temple word, whose reply is followed by the end banner and a one-byte key wait. */
#include <stdio.h>
#include <string.h>

static const char opening[] = "\n\201u\213S\212\242\202\314\227\213\226\302\201vversion.3\n\n\202\334\202\270\202\315 [Alt] + [\224\274\212p/\221S\212p] \202\305\223\374\227\315\202\360\223\372\226{\214\352\202\311\220\330\202\350\221\326\202\246\202\304\202\255\202\276\202\263\202\352\n\n\202\273\202\265\202\304\202\273\202\310\202\275\202\314\226\274\202\360\223\374\227\315\202\265\202\304\202\255\202\276\202\263\202\352 \201\250 ";
static const char greeting[] = "\n%s\201\204\202\256\202\301\202\307\202\243\202\340\201`\202\311\202\241\202\361\202\256\201A\202\335\202\267\202\275\201`%s\201A\202\315\202\355\202\344\201`\201H";
static const char lord[] = "\213S\212\242";
static const char prompt[] = "\n%s\201\204";
static const char temple[] = "\226{\224\134\216\233";
static const char fit[] = "%s\201\204\202\342\202\337\202\353\201[\201I \202\342\202\337\202\304\202\255\202\352\202\242\201I \202\346\202\271\201[\201I \202\240\201`\201I";
static const char reply[] = "%s\201\204\211\275\202\251\220\134\202\263\202\312\202\251\201B";
static const char banner[] = "\n\n\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201@\201|\201@\212\256\201@\201|\201@";

/* One line without its line end; 0 at end of input. */
static int read_line(char *line, int size)
{
    if (!fgets(line, size, stdin)) return 0;
    line[strcspn(line, "\r\n")] = '\0';
    return 1;
}

int main(void)
{
    char name[20];
    char line[100];

    fputs(opening, stdout);
    fflush(stdout);
    if (!read_line(name, sizeof name)) return 0;
    printf(greeting, lord, name);
    for (;;) {
        printf(prompt, name);
        fflush(stdout);
        if (!read_line(line, sizeof line)) return 0;
        if (strcmp(line, temple) == 0) break;
        printf(reply, lord);
    }
    printf(fit, lord);
    fputs(banner, stdout);
    fflush(stdout);
    getchar();
    return 0;
}
