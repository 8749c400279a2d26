// The part of OpenGL 1.x and GLU the show calls, written over WebGL 2 under the same names, so the
// scene code compiles and runs unchanged in the browser: the three matrix stacks' top matrices,
// glOrtho, gluPerspective and gluLookAt; immediate-mode triangles and quads; vertex, colour and
// texture-coordinate arrays drawn by glDrawRangeElements; textures modulated by the vertex colour
// through the texture matrix; the alpha test. Everything WebGL 2 has itself (blending, depth test
// and mask, clears, colour mask, scissor, textures, framebuffers) goes straight through.
// Each draw uploads its vertices into one stream buffer and draws them with one small shader.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/web/gl_subset.h"

// The WebGL entry points under their second name: the plain names are ours.
extern "C" {
void emscripten_glEnable(GLenum);
void emscripten_glDisable(GLenum);
GLboolean emscripten_glIsEnabled(GLenum);
const GLubyte* emscripten_glGetString(GLenum);
void emscripten_glClearDepthf(GLclampf);
void emscripten_glTexImage2D(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*);
void emscripten_glGenerateMipmap(GLenum);
void emscripten_glDrawArrays(GLenum, GLint, GLsizei);
void emscripten_glDrawElements(GLenum, GLsizei, GLenum, const void*);
GLuint emscripten_glCreateShader(GLenum);
void emscripten_glShaderSource(GLuint, GLsizei, const char* const*, const GLint*);
void emscripten_glCompileShader(GLuint);
GLuint emscripten_glCreateProgram();
void emscripten_glAttachShader(GLuint, GLuint);
void emscripten_glBindAttribLocation(GLuint, GLuint, const char*);
void emscripten_glLinkProgram(GLuint);
void emscripten_glGetProgramiv(GLuint, GLenum, GLint*);
void emscripten_glGetShaderiv(GLuint, GLenum, GLint*);
void emscripten_glGetShaderInfoLog(GLuint, GLsizei, GLsizei*, char*);
void emscripten_glUseProgram(GLuint);
GLint emscripten_glGetUniformLocation(GLuint, const char*);
void emscripten_glUniform1i(GLint, GLint);
void emscripten_glUniform1f(GLint, GLfloat);
void emscripten_glUniformMatrix4fv(GLint, GLsizei, GLboolean, const GLfloat*);
void emscripten_glGenBuffers(GLsizei, GLuint*);
void emscripten_glBindBuffer(GLenum, GLuint);
void emscripten_glBufferData(GLenum, GLsizeiptr, const void*, GLenum);
void emscripten_glGenVertexArrays(GLsizei, GLuint*);
void emscripten_glBindVertexArray(GLuint);
void emscripten_glEnableVertexAttribArray(GLuint);
void emscripten_glVertexAttribPointer(GLuint, GLint, GLenum, GLboolean, GLsizei, const void*);
}

namespace {

// Column-major, as GL keeps them.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[col * 4 + k];
            r.m[col * 4 + row] = sum;
        }
    return r;
}

// One vertex as the shader reads it: position, colour, texture coordinate.
struct Vertex {
    float x, y, z;
    float r, g, b, a;
    float s, t;
};

struct ClientArray {
    bool enabled = false;
    GLint size = 0;
    GLsizei stride = 0;
    const uint8_t* data = nullptr;
};

struct State {
    Matrix modelview, projection, texture;
    GLenum matrixMode = GL_MODELVIEW;
    float colour[4] = {1, 1, 1, 1};
    float texCoord[2] = {0, 0};
    bool texturing = false;
    bool alphaTest = false;
    GLenum alphaFunc = GL_ALWAYS;
    float alphaRef = 0;
    GLenum primitive = 0;
    std::vector<Vertex> begun;     // vertices since glBegin
    std::vector<Vertex> drawn;     // what the next draw uploads
    std::vector<uint32_t> indices;
    ClientArray vertexArray, colourArray, texCoordArray;
    GLuint program = 0, vertexArrayObject = 0, vertexBuffer = 0, indexBuffer = 0;
    GLint mvpAt = -1, textureMatrixAt = -1, texturingAt = -1, alphaFuncAt = -1, alphaRefAt = -1;
};
State gl;

Matrix& current() {
    if (gl.matrixMode == GL_PROJECTION) return gl.projection;
    if (gl.matrixMode == GL_TEXTURE) return gl.texture;
    return gl.modelview;
}

void multiplyCurrent(const Matrix& by) { current() = multiply(current(), by); }

const char* const vertexShader = R"(#version 300 es
in vec3 position;
in vec4 colour;
in vec2 texCoord;
uniform mat4 mvp;
uniform mat4 textureMatrix;
out vec4 shade;
out vec4 coord;
void main() {
    gl_Position = mvp * vec4(position, 1.0);
    shade = clamp(colour, 0.0, 1.0);
    coord = textureMatrix * vec4(texCoord, 0.0, 1.0);
}
)";

// Alpha functions are numbered as GL numbers them from GL_NEVER: never, less, equal, lequal,
// greater, notequal, gequal, always; -1 is no alpha test.
const char* const fragmentShader = R"(#version 300 es
precision highp float;
in vec4 shade;
in vec4 coord;
uniform sampler2D picture;
uniform bool texturing;
uniform int alphaFunc;
uniform float alphaRef;
out vec4 fragment;
void main() {
    vec4 c = shade;
    if (texturing) c *= texture(picture, coord.xy / coord.w);
    bool pass = true;
    if (alphaFunc == 0) pass = false;
    else if (alphaFunc == 1) pass = c.a < alphaRef;
    else if (alphaFunc == 2) pass = c.a == alphaRef;
    else if (alphaFunc == 3) pass = c.a <= alphaRef;
    else if (alphaFunc == 4) pass = c.a > alphaRef;
    else if (alphaFunc == 5) pass = c.a != alphaRef;
    else if (alphaFunc == 6) pass = c.a >= alphaRef;
    if (!pass) discard;
    fragment = c;
}
)";

GLuint compile(GLenum kind, const char* source) {
    GLuint shader = emscripten_glCreateShader(kind);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader: %s\n", log);
    }
    return shader;
}

void prepare() {
    if (gl.program) return;
    gl.program = emscripten_glCreateProgram();
    emscripten_glAttachShader(gl.program, compile(GL_VERTEX_SHADER, vertexShader));
    emscripten_glAttachShader(gl.program, compile(GL_FRAGMENT_SHADER, fragmentShader));
    emscripten_glBindAttribLocation(gl.program, 0, "position");
    emscripten_glBindAttribLocation(gl.program, 1, "colour");
    emscripten_glBindAttribLocation(gl.program, 2, "texCoord");
    emscripten_glLinkProgram(gl.program);
    emscripten_glUseProgram(gl.program);
    gl.mvpAt = emscripten_glGetUniformLocation(gl.program, "mvp");
    gl.textureMatrixAt = emscripten_glGetUniformLocation(gl.program, "textureMatrix");
    gl.texturingAt = emscripten_glGetUniformLocation(gl.program, "texturing");
    gl.alphaFuncAt = emscripten_glGetUniformLocation(gl.program, "alphaFunc");
    gl.alphaRefAt = emscripten_glGetUniformLocation(gl.program, "alphaRef");
    emscripten_glUniform1i(emscripten_glGetUniformLocation(gl.program, "picture"), 0);

    emscripten_glGenVertexArrays(1, &gl.vertexArrayObject);
    emscripten_glBindVertexArray(gl.vertexArrayObject);
    emscripten_glGenBuffers(1, &gl.vertexBuffer);
    emscripten_glGenBuffers(1, &gl.indexBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, gl.vertexBuffer);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.indexBuffer);
    const GLint sizes[3] = {3, 4, 2};
    const size_t offsets[3] = {offsetof(Vertex, x), offsetof(Vertex, r), offsetof(Vertex, s)};
    for (GLuint i = 0; i < 3; ++i) {
        emscripten_glEnableVertexAttribArray(i);
        emscripten_glVertexAttribPointer(i, sizes[i], GL_FLOAT, GL_FALSE, sizeof(Vertex),
                                         reinterpret_cast<const void*>(offsets[i]));
    }
}

// Sets the shader's state from the GL state and uploads gl.drawn (and gl.indices when indexed).
void upload(bool indexed) {
    prepare();
    const Matrix mvp = multiply(gl.projection, gl.modelview);
    emscripten_glUniformMatrix4fv(gl.mvpAt, 1, GL_FALSE, mvp.m);
    emscripten_glUniformMatrix4fv(gl.textureMatrixAt, 1, GL_FALSE, gl.texture.m);
    emscripten_glUniform1i(gl.texturingAt, gl.texturing ? 1 : 0);
    emscripten_glUniform1i(gl.alphaFuncAt, gl.alphaTest ? int(gl.alphaFunc - GL_NEVER) : -1);
    emscripten_glUniform1f(gl.alphaRefAt, gl.alphaRef);
    emscripten_glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(gl.drawn.size() * sizeof(Vertex)), gl.drawn.data(),
                            GL_STREAM_DRAW);
    if (indexed)
        emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(gl.indices.size() * sizeof(uint32_t)),
                                gl.indices.data(), GL_STREAM_DRAW);
}

Vertex vertexAt(float x, float y, float z) {
    return {x, y, z, gl.colour[0], gl.colour[1], gl.colour[2], gl.colour[3], gl.texCoord[0], gl.texCoord[1]};
}

const float* element(const ClientArray& array, size_t index, size_t naturalSize) {
    size_t stride = array.stride ? size_t(array.stride) : naturalSize;
    return reinterpret_cast<const float*>(array.data + index * stride);
}

// Capabilities WebGL 2 knows; the others are fixed-function ones kept here.
bool isWebGLCapability(GLenum cap) {
    switch (cap) {
    case GL_BLEND: case GL_CULL_FACE: case GL_DEPTH_TEST: case GL_DITHER: case GL_POLYGON_OFFSET_FILL:
    case GL_SCISSOR_TEST: case GL_STENCIL_TEST: case 0x8C89 /* GL_RASTERIZER_DISCARD */:
        return true;
    default:
        return false;
    }
}

void setCapability(GLenum cap, bool on) {
    if (cap == GL_TEXTURE_2D) gl.texturing = on;
    else if (cap == GL_ALPHA_TEST) gl.alphaTest = on;
    else if (isWebGLCapability(cap)) on ? emscripten_glEnable(cap) : emscripten_glDisable(cap);
    // Fog, lighting, polygon smoothing and the rest are never switched on by the show.
}

Matrix fromDoubles(const double* d) {
    Matrix r;
    for (int i = 0; i < 16; ++i) r.m[i] = float(d[i]);
    return r;
}

} // namespace

void platform::resetGLSubset() { gl = State(); }

extern "C" {

void glMatrixMode(GLenum mode) { gl.matrixMode = mode; }
void glLoadIdentity() { current() = Matrix(); }

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix t;
    t.m[12] = x;
    t.m[13] = y;
    t.m[14] = z;
    multiplyCurrent(t);
}

void glScalef(GLfloat x, GLfloat y, GLfloat z) {
    Matrix s;
    s.m[0] = x;
    s.m[5] = y;
    s.m[10] = z;
    multiplyCurrent(s);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
    float length = std::sqrt(x * x + y * y + z * z);
    if (length == 0) return;
    x /= length;
    y /= length;
    z /= length;
    const float radians = angle * float(M_PI / 180.0);
    const float c = std::cos(radians), s = std::sin(radians), k = 1 - c;
    Matrix r;
    r.m[0] = x * x * k + c;     r.m[4] = x * y * k - z * s; r.m[8] = x * z * k + y * s;
    r.m[1] = y * x * k + z * s; r.m[5] = y * y * k + c;     r.m[9] = y * z * k - x * s;
    r.m[2] = x * z * k - y * s; r.m[6] = y * z * k + x * s; r.m[10] = z * z * k + c;
    multiplyCurrent(r);
}

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    double d[16] = {};
    d[0] = 2 / (right - left);
    d[5] = 2 / (top - bottom);
    d[10] = -2 / (zFar - zNear);
    d[12] = -(right + left) / (right - left);
    d[13] = -(top + bottom) / (top - bottom);
    d[14] = -(zFar + zNear) / (zFar - zNear);
    d[15] = 1;
    multiplyCurrent(fromDoubles(d));
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    const double radians = fovy / 2 * M_PI / 180;
    const double deltaZ = zFar - zNear, sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    const double cotangent = std::cos(radians) / sine;
    double d[16] = {};
    d[0] = cotangent / aspect;
    d[5] = cotangent;
    d[10] = -(zFar + zNear) / deltaZ;
    d[11] = -1;
    d[14] = -2 * zNear * zFar / deltaZ;
    multiplyCurrent(fromDoubles(d));
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY, GLdouble centreZ,
               GLdouble upX, GLdouble upY, GLdouble upZ) {
    auto normalise = [](double* v) {
        double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length == 0) return;
        for (int i = 0; i < 3; ++i) v[i] /= length;
    };
    auto cross = [](const double* a, const double* b, double* out) {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    double forward[3] = {centreX - eyeX, centreY - eyeY, centreZ - eyeZ};
    double up[3] = {upX, upY, upZ};
    normalise(forward);
    double side[3], newUp[3];
    cross(forward, up, side);
    normalise(side);
    cross(side, forward, newUp);
    double d[16] = {side[0], newUp[0], -forward[0], 0, side[1], newUp[1], -forward[1], 0,
                    side[2], newUp[2], -forward[2], 0, 0, 0, 0, 1};
    multiplyCurrent(fromDoubles(d));
    glTranslatef(float(-eyeX), float(-eyeY), float(-eyeZ));
}

void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    gl.colour[0] = r;
    gl.colour[1] = g;
    gl.colour[2] = b;
    gl.colour[3] = a;
}
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { glColor4f(r, g, b, 1); }
void glColor3d(GLdouble r, GLdouble g, GLdouble b) { glColor4f(float(r), float(g), float(b), 1); }
void glColor4fv(const GLfloat* c) { glColor4f(c[0], c[1], c[2], c[3]); }
void glTexCoord2f(GLfloat s, GLfloat t) {
    gl.texCoord[0] = s;
    gl.texCoord[1] = t;
}
void glTexCoord2fv(const GLfloat* st) { glTexCoord2f(st[0], st[1]); }

void glBegin(GLenum mode) {
    gl.primitive = mode;
    gl.begun.clear();
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { gl.begun.push_back(vertexAt(x, y, z)); }
void glVertex2f(GLfloat x, GLfloat y) { glVertex3f(x, y, 0); }

void glEnd() {
    gl.drawn.clear();
    GLenum mode = GL_TRIANGLES;
    const std::vector<Vertex>& v = gl.begun;
    if (gl.primitive == GL_QUADS) {
        for (size_t i = 0; i + 3 < v.size(); i += 4)
            gl.drawn.insert(gl.drawn.end(), {v[i], v[i + 1], v[i + 2], v[i], v[i + 2], v[i + 3]});
    } else if (gl.primitive == GL_TRIANGLES) {
        gl.drawn.assign(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 3 * 3));
    } else {
        // Strips and fans as they are; a polygon is a fan.
        gl.drawn = v;
        mode = gl.primitive == GL_POLYGON ? GL_TRIANGLE_FAN : gl.primitive;
    }
    if (gl.drawn.empty()) return;
    upload(false);
    emscripten_glDrawArrays(mode, 0, GLsizei(gl.drawn.size()));
}

void glEnableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) gl.vertexArray.enabled = true;
    else if (array == GL_COLOR_ARRAY) gl.colourArray.enabled = true;
    else if (array == GL_TEXTURE_COORD_ARRAY) gl.texCoordArray.enabled = true;
}
void glDisableClientState(GLenum array) {
    if (array == GL_VERTEX_ARRAY) gl.vertexArray.enabled = false;
    else if (array == GL_COLOR_ARRAY) gl.colourArray.enabled = false;
    else if (array == GL_TEXTURE_COORD_ARRAY) gl.texCoordArray.enabled = false;
}
void glVertexPointer(GLint size, GLenum, GLsizei stride, const void* data) {
    gl.vertexArray = {gl.vertexArray.enabled, size, stride, static_cast<const uint8_t*>(data)};
}
void glColorPointer(GLint size, GLenum, GLsizei stride, const void* data) {
    gl.colourArray = {gl.colourArray.enabled, size, stride, static_cast<const uint8_t*>(data)};
}
void glTexCoordPointer(GLint size, GLenum, GLsizei stride, const void* data) {
    gl.texCoordArray = {gl.texCoordArray.enabled, size, stride, static_cast<const uint8_t*>(data)};
}

// Float arrays and 32-bit indices, the only kinds the show passes.
void glDrawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* indices) {
    if (!gl.vertexArray.enabled || !gl.vertexArray.data || type != GL_UNSIGNED_INT || count <= 0 || end < start)
        return;
    gl.drawn.resize(size_t(end) + 1);
    for (size_t i = start; i <= end; ++i) {
        const float* p = element(gl.vertexArray, i, size_t(gl.vertexArray.size) * sizeof(float));
        Vertex v = vertexAt(p[0], p[1], gl.vertexArray.size > 2 ? p[2] : 0);
        if (gl.colourArray.enabled && gl.colourArray.data) {
            const float* c = element(gl.colourArray, i, size_t(gl.colourArray.size) * sizeof(float));
            v.r = c[0];
            v.g = c[1];
            v.b = c[2];
            v.a = gl.colourArray.size > 3 ? c[3] : 1;
        }
        if (gl.texCoordArray.enabled && gl.texCoordArray.data) {
            const float* t = element(gl.texCoordArray, i, size_t(gl.texCoordArray.size) * sizeof(float));
            v.s = t[0];
            v.t = t[1];
        }
        gl.drawn[i] = v;
    }
    const uint32_t* first = static_cast<const uint32_t*>(indices);
    gl.indices.assign(first, first + count);
    upload(true);
    emscripten_glDrawElements(mode == GL_QUADS ? GL_TRIANGLES : mode, count, GL_UNSIGNED_INT, nullptr);
}

void glEnable(GLenum cap) { setCapability(cap, true); }
void glDisable(GLenum cap) { setCapability(cap, false); }
GLboolean glIsEnabled(GLenum cap) {
    if (cap == GL_TEXTURE_2D) return gl.texturing;
    if (cap == GL_ALPHA_TEST) return gl.alphaTest;
    return isWebGLCapability(cap) ? emscripten_glIsEnabled(cap) : GL_FALSE;
}

void glAlphaFunc(GLenum func, GLclampf ref) {
    gl.alphaFunc = func;
    gl.alphaRef = ref < 0 ? 0 : ref > 1 ? 1 : ref;
}

// Only smooth shading is asked for; hints have nothing to choose between here.
void glShadeModel(GLenum) {}
void glHint(GLenum, GLenum) {}
void glClearDepth(GLclampd depth) { emscripten_glClearDepthf(float(depth)); }

// The offscreen picture asks for the version: WebGL 2 has framebuffer objects, as OpenGL 3 does.
const GLubyte* glGetString(GLenum name) {
    if (name == GL_VERSION) return reinterpret_cast<const GLubyte*>("3.0 WebGL 2.0");
    return emscripten_glGetString(name);
}

// Internal format 3 is RGB; WebGL wants the format's name.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height, GLint border,
                  GLenum format, GLenum type, const void* pixels) {
    if (internalFormat == 3) internalFormat = GL_RGB;
    else if (internalFormat == 4) internalFormat = GL_RGBA;
    emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

// The browser builds the smaller levels (a box filter in every engine we know, as GLU's is).
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data) {
    glTexImage2D(target, 0, internalFormat, width, height, 0, format, type, data);
    emscripten_glGenerateMipmap(target);
    return 0;
}

} // extern "C"
