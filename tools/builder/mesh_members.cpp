// The mesh builders' archive members: every .p3d in start-up order, then the texture of every
// material they name, each painted once (the knot's and the sphere's materials are shared by
// the meshes they are spliced into).
#include <set>

#include "tools/builder/meshes.h"

namespace builder {

std::vector<Member> buildMeshMembers() {
    const BuildMesh meshes[] = {buildHallMesh(),   buildTempleMesh(), buildCaveMesh(),  buildScene2Mesh(),
                                buildScene3Mesh(), buildSphereMesh(), buildKnotMesh()};
    std::vector<Member> members;
    for (const BuildMesh& mesh : meshes) members.push_back({mesh.fileName, encodeBuildMesh(mesh), false});
    std::set<std::string> painted;
    for (const BuildMesh& mesh : meshes)
        for (const MaterialRecipe& material : mesh.materials)
            if (painted.insert(material.name).second)
                members.push_back({material.name + ".raw", paintMaterialTexture(material), true});
    return members;
}

}  // namespace builder
