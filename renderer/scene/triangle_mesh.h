#pragma once
// A growable list of flat-shaded triangles in two parallel float arrays laid out as OpenGL's
// client arrays expect (nine floats per triangle, stride 0). Clearing keeps the storage, so a
// mesh refilled every frame stops allocating once it has held its largest content.

#include <cstddef>
#include <memory>

#include "renderer/scene/math/scene_math.h"

namespace pellarin {

struct TriangleMesh {
  int triangleCount = 0;
  int capacity = 0;           // triangles both arrays can hold; 0 until the first triangle
  float* vertices = nullptr;  // 9 floats per triangle: corners A, B, C
  float* normals = nullptr;   // the face normal once per corner

  TriangleMesh() = default;
  TriangleMesh(const TriangleMesh&) = delete;
  TriangleMesh& operator=(const TriangleMesh&) = delete;
  ~TriangleMesh();
};

std::unique_ptr<TriangleMesh> createMesh();

// Forgets the triangles, keeps the arrays.
void clearMesh(TriangleMesh& mesh);

// Appends a triangle whose normal is normalise((b - a) x (c - b)): corners counter-clockwise
// seen from outside give an outward normal; a zero-area triangle gets a non-finite one. When a
// larger array cannot be had the triangle is dropped and the mesh stays as it was.
void addTriangle(TriangleMesh& mesh, Vec3 a, Vec3 b, Vec3 c);

// Draws every stored triangle with the current OpenGL state; leaves the vertex and normal
// arrays enabled.
void drawMesh(const TriangleMesh& mesh);

// The meshes' allocator, realloc-like (nullptr for failure, old block untouched then).
// Tests swap it to provoke failures; nullptr restores the standard one.
using MeshReallocator = void* (*)(void* block, std::size_t bytes);
void setMeshReallocatorForTesting(MeshReallocator reallocator);

}  // namespace pellarin
