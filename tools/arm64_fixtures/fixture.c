/* Functions whose compact unwind encodings the arm64 unwinder tests look up: frameless leaves, a
 * function with a frame record, and callers of both. */
int leaf(int x) {
    return x * 3 + 1;
}

__attribute__((noinline)) int framed(int x) {
    volatile int a[8];
    a[0] = x;
    return leaf(a[0]) + 2;
}

__attribute__((noinline)) int outer(int x) {
    return framed(x) + framed(x + 1);
}
