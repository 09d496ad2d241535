"""Segment surface meshes into classes from one value per vertex."""

import os
from typing import Callable, Literal, Optional, Sequence, Tuple, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

_Path = Union[str, "os.PathLike[str]"]
_Faces = Union[npt.ArrayLike, Sequence[Sequence[int]]]
_FacesOut = Union[npt.NDArray[np.int64], list[npt.NDArray[np.int64]]]
_Progress = Union[None, bool, Callable[[str, float], object]]

class Parameters:
    """The fitted pairwise label model: class weights theta_1 .. theta_{K-1} and beta."""

    @property
    def theta(self) -> list[float]: ...
    @property
    def beta(self) -> float: ...

class Segmentation:
    """The result of segment() and segment_file()."""

    @property
    def labels(self) -> npt.NDArray[np.int32]: ...
    @property
    def segments(self) -> npt.NDArray[np.int32]: ...
    @property
    def means(self) -> npt.NDArray[np.float64]:
        """(K,) class means; (K, D) mean vectors when the values were (n, D)."""
    @property
    def variances(self) -> npt.NDArray[np.float64]:
        """(K,) class variances; (K, D, D) covariances when the values were (n, D)."""
    @property
    def parameters(self) -> Optional[Parameters]: ...
    @property
    def fallback(self) -> Optional[str]: ...
    @property
    def warnings(self) -> list[str]: ...

def segment(
    vertices: npt.ArrayLike,
    faces: _Faces,
    values: npt.ArrayLike,
    classes: int,
    filter_passes: int = 3,
    sweeps: int = 50,
    *,
    seed: Optional[int] = None,
    refine: bool = False,
    temperature: Optional[float] = None,
    cooling: Optional[float] = None,
    min_segment_size: int = 0,
    threads: Optional[int] = None,
    progress: _Progress = None,
) -> Segmentation:
    """Segment a surface mesh into `classes` classes from one value per vertex.

    values is (n,) for one value per vertex or (n, D) for D features per
    vertex (curvature and colour, say); the features' units do not matter.
    """

def segment_file(
    path: _Path,
    classes: int,
    filter_passes: int = 3,
    sweeps: int = 50,
    *,
    seed: Optional[int] = None,
    refine: bool = False,
    temperature: Optional[float] = None,
    cooling: Optional[float] = None,
    min_segment_size: int = 0,
    threads: Optional[int] = None,
    attribute_file: Optional[_Path] = None,
    attribute_property: Optional[str] = None,
    compute_attribute: Optional[str] = None,
    labels_file: Optional[_Path] = None,
    colour_mesh: Optional[_Path] = None,
    segments_file: Optional[_Path] = None,
    report: Optional[_Path] = None,
    repair: bool = False,
    progress: _Progress = None,
) -> Tuple[Segmentation, list[str]]:
    """Run the command line's whole run on one mesh file; the result and the paths written."""

@overload
def read_mesh(
    path: _Path, *, repair: Literal[False] = False
) -> Tuple[npt.NDArray[np.float64], _FacesOut]: ...
@overload
def read_mesh(
    path: _Path, *, repair: Literal[True]
) -> Tuple[npt.NDArray[np.float64], _FacesOut, npt.NDArray[np.int64]]: ...
def read_attribute(path: _Path, count: int) -> npt.NDArray[np.float64]:
    """Read the first `count` values of an attribute file, as the command line does."""

def write_labels(path: _Path, labels: npt.ArrayLike, classes: int) -> None:
    """Write a label file exactly as the command line writes it, atomically."""

def mean_curvature(vertices: npt.ArrayLike, faces: _Faces) -> npt.NDArray[np.float64]:
    """The signed mean curvature at each vertex (1/length), positive on an outward-oriented sphere."""

def gaussian_curvature(vertices: npt.ArrayLike, faces: _Faces) -> npt.NDArray[np.float64]:
    """The Gaussian curvature at each vertex (1/length^2): angle defect over the mixed area."""

def curvedness(vertices: npt.ArrayLike, faces: _Faces) -> npt.NDArray[np.float64]:
    """sqrt((k1^2 + k2^2) / 2) at each vertex (1/length), from the mean and Gaussian curvatures."""
