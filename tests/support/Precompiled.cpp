// Nothing of its own: the target compiles the headers the tests share.
