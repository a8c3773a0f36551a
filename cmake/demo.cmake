# All executables in one folder: tests find their stand-ins beside themselves.
