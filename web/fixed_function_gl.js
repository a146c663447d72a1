// The fixed-function GL calls of the compatibility-profile drivers. A page's
// only context is WebGL 2 (OpenGL ES 3.0), so the shader drivers draw and
// these are never reached; should one be, the program stops with a message
// rather than drawing wrongly.
(function () {
  var names = ['glAlphaFunc', 'glBegin', 'glColor4f', 'glColor4ubv', 'glEnd',
    'glGetTexLevelParameteriv', 'glLoadIdentity', 'glMatrixMode', 'glOrtho', 'glPopAttrib',
    'glPushAttrib', 'glTexCoord2f', 'glVertex2f'];
  var stubs = {};
  names.forEach(function (name) {
    stubs[name] = new Function("abort('" + name + ": no fixed-function GL in a page');");
  });
  mergeInto(LibraryManager.library, stubs);
})();
