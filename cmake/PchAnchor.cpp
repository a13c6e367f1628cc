// The one source of the targets that precompile headers for the others (see OrvalinkPch.cmake).
