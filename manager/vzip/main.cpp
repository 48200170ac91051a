// vzip: the archive manager's window.
int main() { return 0; }
