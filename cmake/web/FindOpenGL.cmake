# In a page OpenGL is the browser's WebGL 2, which Emscripten links by itself:
# OpenGL::GL only asks for that.
if(NOT TARGET OpenGL::GL)
    add_library(OpenGL::GL INTERFACE IMPORTED GLOBAL)
    target_link_options(OpenGL::GL INTERFACE -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2)
endif()
set(OpenGL_FOUND TRUE)
set(OPENGL_FOUND TRUE)
