/* A minimal "shell" for hyperfine, which runs SHELL -c COMMAND for every run:
 *
 *     with_input -c PROGRAM
 *
 * runs PROGRAM (a path, no arguments) with standard input from the file named by
 * $BENCH_INPUT and standard output to /dev/null. An empty COMMAND does nothing:
 * that is how hyperfine measures the cost of starting the shell, which it then
 * subtracts, so what is left is the program's own time. A real shell costs about
 * a millisecond a run and would bury the difference to be measured. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 3 || argv[1][0] != '-' || argv[1][1] != 'c') {
        fputs("usage: with_input -c PROGRAM  (standard input from $BENCH_INPUT)\n", stderr);
        return 2;
    }
    if (argv[2][0] == '\0') return 0;
    const char *input = getenv("BENCH_INPUT");
    int in = input ? open(input, O_RDONLY) : -1;
    int out = open("/dev/null", O_WRONLY);
    if (in < 0 || out < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0) {
        perror("with_input");
        return 2;
    }
    close(in);
    close(out);
    char *program[] = {argv[2], NULL};
    execv(argv[2], program);
    perror(argv[2]);
    return 127;
}
